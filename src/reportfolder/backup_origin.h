// What a backup is a backup of, as the summary.txt of the report folder it
// lies in says: which book, and the SHA-256 of the backup's bytes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace varnok::reportfolder {

struct BackupOrigin {
  bool inReportFolder = false;    // a summary.txt lies beside the backup
  std::filesystem::path summary;  // that summary.txt
  std::string role;               // "old", "new", "book": the summary's word for the book
  std::filesystem::path book;     // the book file it is a backup of, as the summary names it
  std::string sha256;             // of the backup, as the summary gives it
};

// A book as a run's summary.txt gives it in its "Books" section, with its
// backups.
struct RunBook {
  std::string role;                       // "old", "new", "book"
  std::filesystem::path book;             // its book file
  std::string sha256Before, sha256After;  // empty when the summary gives none
  struct Backup {
    std::string name;    // e.g. "old-FILE3.DAT", in the report folder
    std::string remark;  // what follows ", SHA-256 ": the hash and maybe "(...)"; may be empty
  };
  std::vector<Backup> backups;  // the first is the book before the run
};

// What a summary.txt says of its run.
struct RunSummary {
  std::string kind;            // "convert", "fix", "preview", "import", "restore", "undo"
  std::string outcome;         // after "outcome: "; empty for a run not finished
  std::string conversionDate;  // "MM/DD/YYYY" as given; empty for a run without one
  std::vector<RunBook> books;
};

// Reads `summary`. Returns an empty string, or why it could not: a file that
// cannot be read, or one that is no Varnok report's summary.
std::string readRunSummaryFile(const std::filesystem::path& summary, RunSummary& run);

// Reads the summary.txt beside `backup` (links resolved). Returns an empty
// string when there is none (`inReportFolder` false) or when the summary
// names the backup with its book and SHA-256; otherwise why not, naming the
// summary: one that cannot be read, that is no report's summary, that does
// not name the backup, or that gives no SHA-256 for it.
std::string readBackupOrigin(const std::filesystem::path& backup, BackupOrigin& origin);

}  // namespace varnok::reportfolder
