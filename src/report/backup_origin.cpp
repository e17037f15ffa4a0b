#include "report/backup_origin.h"

#include "report/summary_reading.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace varnok::report {
namespace {

namespace fs = std::filesystem;

// A backup's line in a book's details is "    backup: NAME, SHA-256 HASH",
// maybe followed by a remark in brackets.
constexpr std::string_view kBackupLead = "    backup: ";
constexpr std::string_view kHashLead = ", SHA-256 ";

bool startsWith(std::string_view text, std::string_view lead) {
  return text.substr(0, lead.size()) == lead;
}

bool isSha256(std::string_view text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::vector<std::string> linesOf(std::ifstream& in) {
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return summaryLines(text);
}

// The remark of the backup's line (what follows its name), empty when the
// "Books" section does not name it; the book it is listed under.
std::string backupLine(const std::vector<std::string>& lines, const std::string& name,
                       BackupOrigin& origin, bool& named) {
  named = false;
  bool inBooks = false, underBook = false;
  for (const std::string& line : lines) {
    if (!inBooks) {
      inBooks = line == "Books";
      continue;
    }
    if (line.empty()) continue;
    if (line.front() != ' ') break;  // the next section
    if (readSummaryBookLine(line, origin.role, origin.book)) {
      underBook = true;
    } else if (underBook && startsWith(line, kBackupLead)) {
      const std::string_view rest = std::string_view(line).substr(kBackupLead.size());
      const std::size_t hashAt = rest.find(kHashLead);
      if (rest.substr(0, hashAt) != name) continue;
      named = true;
      return hashAt == std::string_view::npos ? std::string()
                                              : std::string(rest.substr(hashAt + kHashLead.size()));
    }
  }
  return {};
}

}  // namespace

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
  std::ifstream in(summary, std::ios::binary);
  if (!in) return "cannot read " + said + ": " + std::strerror(errno) + cannotTell;
  const std::vector<std::string> lines = linesOf(in);
  if (in.bad()) return "cannot read " + said + ": " + std::strerror(errno) + cannotTell;
  if (lines.empty() || !startsWith(lines.front(), kSummaryLead))
    return said + " is not a Varnok report's summary" + cannotTell;
  bool named = false;
  const std::string remark = backupLine(lines, name, origin, named);
  if (!named) return said + " does not name " + name + " as a book's backup" + cannotTell;
  const std::string hash = remark.substr(0, 64);
  if (!isSha256(hash) || (remark.size() > 64 && remark.compare(64, 2, " (") != 0))
    return said + " gives no SHA-256 for " + name + " (it says \"" + remark + "\")" + cannotTell;
  origin.sha256 = hash;
  return {};
}

}  // namespace varnok::report
