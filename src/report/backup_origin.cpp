#include "report/backup_origin.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

namespace varnok::report {
namespace {

namespace fs = std::filesystem;

// Every summary starts so, whatever the run: "Varnok report: convert".
constexpr std::string_view kSummaryLead = "Varnok report: ";
// In its "Books" section (indented lines up to the next heading), a book's
// first line is indented by two blanks ("  old book: PATH", "  book: PATH"),
// its details by four; a backup's line is "    backup: NAME, SHA-256 HASH",
// maybe followed by a remark in brackets.
constexpr std::string_view kBackupLead = "    backup: ";
constexpr std::string_view kHashLead = ", SHA-256 ";

bool startsWith(std::string_view text, std::string_view lead) {
  return text.substr(0, lead.size()) == lead;
}

bool isSha256(std::string_view text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// "  old book: PATH" -> role "old", book PATH; false for any other line.
bool readBookLine(std::string_view line, std::string& role, fs::path& book) {
  if (!startsWith(line, "  ") || startsWith(line, "   ")) return false;
  const std::size_t at = line.find("book: ", 2);
  if (at == std::string_view::npos || (at != 2 && line[at - 1] != ' ')) return false;
  const std::string_view word = line.substr(2, at == 2 ? 0 : at - 3);
  if (word.find_first_of(" :") != std::string_view::npos) return false;
  role = word.empty() ? "book" : std::string(word);
  book = std::string(line.substr(at + 6));
  return !book.empty();
}

std::vector<std::string> linesOf(std::ifstream& in) {
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

// "    SHA-256 after:  HASH (unchanged)" -> HASH when the line has `lead`.
bool readHashLine(std::string_view line, std::string_view lead, std::string& hash) {
  if (!startsWith(line, lead)) return false;
  std::string_view rest = line.substr(lead.size());
  rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
  if (isSha256(rest.substr(0, 64))) hash = std::string(rest.substr(0, 64));
  return true;
}

// The "Books" section: indented lines up to the next heading.
void readBooks(const std::vector<std::string>& lines, std::vector<SummaryBook>& books) {
  bool inBooks = false;
  for (const std::string& line : lines) {
    if (!inBooks) {
      inBooks = line == "Books";
      continue;
    }
    if (line.empty()) continue;
    if (line.front() != ' ') break;  // the next section
    SummaryBook book;
    if (readBookLine(line, book.role, book.book)) {
      books.push_back(std::move(book));
      continue;
    }
    if (books.empty()) continue;
    SummaryBook& current = books.back();
    if (readHashLine(line, "    SHA-256 before:", current.sha256Before) ||
        readHashLine(line, "    SHA-256 after:", current.sha256After))
      continue;
    if (startsWith(line, kBackupLead)) {
      const std::string_view rest = std::string_view(line).substr(kBackupLead.size());
      const std::size_t hashAt = rest.find(kHashLead);
      current.backups.push_back(
          {std::string(rest.substr(0, hashAt)),
           hashAt == std::string_view::npos ? std::string()
                                            : std::string(rest.substr(hashAt + kHashLead.size()))});
    }
  }
}

// The text after `lead` on the first line that begins with it.
std::string valueAfter(const std::vector<std::string>& lines, std::string_view lead) {
  for (const std::string& line : lines)
    if (startsWith(line, lead)) return line.substr(lead.size());
  return {};
}

}  // namespace

std::string readRunSummary(const fs::path& summary, RunSummary& run) {
  run = RunSummary{};
  std::ifstream in(summary, std::ios::binary);
  if (!in) return "cannot read " + summary.string() + ": " + std::strerror(errno);
  const std::vector<std::string> lines = linesOf(in);
  if (in.bad()) return "cannot read " + summary.string() + ": " + std::strerror(errno);
  if (lines.empty() || !startsWith(lines.front(), kSummaryLead))
    return summary.string() + " is not a Varnok report's summary";
  run.kind = lines.front().substr(kSummaryLead.size());
  run.outcome = valueAfter(lines, "outcome: ");
  run.conversionDate = valueAfter(lines, "  conversion date: ");
  readBooks(lines, run.books);
  return {};
}

std::string readBackupOrigin(const fs::path& backup, BackupOrigin& origin) {
  origin = BackupOrigin{};
  std::error_code error;
  const fs::path file = fs::canonical(backup, error);
  if (error) return "cannot find " + backup.string() + ": " + error.message();
  const fs::path summary = file.parent_path() / "summary.txt";
  if (!fs::exists(fs::symlink_status(summary, error))) return {};
  origin.inReportFolder = true;
  origin.summary = summary;
  const std::string name = file.filename().string();
  const std::string said = "the summary " + summary.string() + " beside the backup";
  const std::string cannotTell =
      ", so what " + name + " is a backup of, and its SHA-256, cannot be told";
  RunSummary run;
  if (std::string problem = readRunSummary(summary, run); !problem.empty()) {
    if (problem.find(" is not a Varnok") != std::string::npos)
      return said + " is not a Varnok report's summary" + cannotTell;
    return "cannot read " + said + problem.substr(problem.find(':')) + cannotTell;
  }
  const SummaryBook::Backup* named = nullptr;
  for (const SummaryBook& book : run.books) {
    for (const SummaryBook::Backup& kept : book.backups) {
      if (named || kept.name != name) continue;
      named = &kept;
      origin.role = book.role;
      origin.book = book.book;
    }
  }
  if (!named) return said + " does not name " + name + " as a book's backup" + cannotTell;
  const std::string& remark = named->remark;
  const std::string hash = remark.substr(0, 64);
  if (!isSha256(hash) || (remark.size() > 64 && remark.compare(64, 2, " (") != 0))
    return said + " gives no SHA-256 for " + name + " (it says \"" + remark + "\")" + cannotTell;
  origin.sha256 = hash;
  return {};
}

}  // namespace varnok::report
