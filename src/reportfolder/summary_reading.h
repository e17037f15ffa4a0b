// Reading a run's summary.txt back: its heading lines, its "Inputs" as
// name and value, and each book of its "Books" section.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace varnok::reportfolder {

// Every summary starts so, whatever the run: "Varnok report: convert".
inline constexpr std::string_view kSummaryLead = "Varnok report: ";

// One book of the "Books" section. Counts are -1 and texts empty where the
// summary gives none.
struct SummaryBook {
  std::string role;            // "old", "new", "book"
  std::filesystem::path file;  // the book file, as the summary names it
  long entriesBefore = -1, entriesAfter = -1;
  std::string sha256Before, sha256After;
  std::string changed;               // "32 removed, 108 handed over", "no changes"
  std::vector<std::string> details;  // its indented lines, lead blanks gone
};

struct RunSummaryText {
  std::string kind;                           // "convert", "fix", "preview", "import"
  std::string program;                        // "varnok 0.1.0"
  std::string outcome;                        // empty for an unfinished run
  std::map<std::string, std::string> inputs;  // "conversion date" -> "06/30/2025"
  std::vector<SummaryBook> books;
  std::vector<std::string> reconciliation;  // its lines, lead blanks gone
};

// The lines of a text, without their line ends (LF or CR LF).
std::vector<std::string> summaryLines(std::string_view text);
// "  old book: PATH" -> role "old", book PATH; false for any other line.
bool readSummaryBookLine(std::string_view line, std::string& role, std::filesystem::path& book);
// Empty when `text` reads as a run's summary; otherwise why not.
std::string readRunSummary(std::string_view text, RunSummaryText& summary);

}  // namespace varnok::reportfolder
