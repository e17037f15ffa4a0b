#include "reportfolder/backup_origin.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "reportfolder/summary_reading.h"

namespace varnok::reportfolder {
namespace {

namespace fs = std::filesystem;

// A backup's detail line is "backup: NAME, SHA-256 HASH", maybe followed by
// a remark in brackets.
constexpr std::string_view kBackupLead = "backup: ";
constexpr std::string_view kHashLead = ", SHA-256 ";

bool startsWith(std::string_view text, std::string_view lead) {
  return text.substr(0, lead.size()) == lead;
}

bool isSha256(std::string_view text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

RunBook runBookOf(const SummaryBook& read) {
  RunBook book{read.role, read.file, {}, {}, {}};
  if (isSha256(read.sha256Before)) book.sha256Before = read.sha256Before;
  if (isSha256(read.sha256After)) book.sha256After = read.sha256After;
  for (const std::string& detail : read.details) {
    if (!startsWith(detail, kBackupLead)) continue;
    const std::string_view rest = std::string_view(detail).substr(kBackupLead.size());
    const std::size_t hashAt = rest.find(kHashLead);
    book.backups.push_back({std::string(rest.substr(0, hashAt)),
                            hashAt == std::string_view::npos
                                ? std::string()
                                : std::string(rest.substr(hashAt + kHashLead.size()))});
  }
  return book;
}

}  // namespace

std::string readRunSummaryFile(const fs::path& summary, RunSummary& run) {
  run = RunSummary{};
  std::ifstream in(summary, std::ios::binary);
  if (!in) return "cannot read " + summary.string() + ": " + std::strerror(errno);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return "cannot read " + summary.string() + ": " + std::strerror(errno);
  RunSummaryText read;
  const std::string problem = readRunSummary(text, read);
  if (!startsWith(text, kSummaryLead))
    return summary.string() + " is not a Varnok report's summary";
  run.kind = read.kind;
  run.outcome = read.outcome;
  if (const auto date = read.inputs.find("conversion date"); date != read.inputs.end())
    run.conversionDate = date->second;
  if (problem.empty())
    for (const SummaryBook& book : read.books) run.books.push_back(runBookOf(book));
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
  if (std::string problem = readRunSummaryFile(summary, run); !problem.empty()) {
    if (problem.find(" is not a Varnok") != std::string::npos)
      return said + " is not a Varnok report's summary" + cannotTell;
    return "cannot read " + said + problem.substr(problem.find(':')) + cannotTell;
  }
  const RunBook::Backup* named = nullptr;
  for (const RunBook& book : run.books) {
    for (const RunBook::Backup& kept : book.backups) {
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

}  // namespace varnok::reportfolder
