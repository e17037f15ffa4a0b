// What a backup is a backup of, as the summary.txt of the report folder it
// lies in says: which book, and the SHA-256 of the backup's bytes.
#pragma once

#include <filesystem>
#include <string>

namespace varnok::report {

struct BackupOrigin {
  bool inReportFolder = false;    // a summary.txt lies beside the backup
  std::filesystem::path summary;  // that summary.txt
  std::string role;               // "old", "new", "book": the summary's word for the book
  std::filesystem::path book;     // the book file it is a backup of, as the summary names it
  std::string sha256;             // of the backup, as the summary gives it
};

// Reads the summary.txt beside `backup` (links resolved). Returns an empty
// string when there is none (`inReportFolder` false) or when the summary
// names the backup with its book and SHA-256; otherwise why not, naming the
// summary: one that cannot be read, that is no report's summary, that does
// not name the backup, or that gives no SHA-256 for it.
std::string readBackupOrigin(const std::filesystem::path& backup, BackupOrigin& origin);

}  // namespace varnok::report
