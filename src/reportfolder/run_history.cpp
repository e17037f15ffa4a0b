#include "reportfolder/run_history.h"

#include <optional>
#include <system_error>

#include "reportfolder/backup_origin.h"

namespace varnok::reportfolder {
namespace fs = std::filesystem;
namespace {

// The outcome a summary gives a conversion that went through every step.
constexpr const char* kRanToItsEnd = "ran to its end";

const RunBook* bookOf(const RunSummary& run, const std::string& role) {
  for (const RunBook& book : run.books)
    if (book.role == role) return &book;
  return nullptr;
}

// The hashes after of a conversion on `date` that changed a book; empty
// for any other run.
std::pair<std::string, std::string> hashesAfter(const RunSummary& run, const std::string& date) {
  if (run.kind != "convert" || run.outcome != kRanToItsEnd || run.conversionDate != date) return {};
  const RunBook* oldBook = bookOf(run, "old");
  const RunBook* newBook = bookOf(run, "new");
  if (!oldBook || !newBook || oldBook->sha256After.empty() || newBook->sha256After.empty())
    return {};
  const bool changed = oldBook->sha256After != oldBook->sha256Before ||
                       newBook->sha256After != newBook->sha256Before;
  if (!changed) return {};
  return {oldBook->sha256After, newBook->sha256After};
}

}  // namespace

fs::path conversionThatLeft(const fs::path& reports, const std::string& conversionDate,
                            const BookHashes& hashes, const fs::path& except) {
  std::optional<std::pair<std::string, std::string>> now;
  fs::path newest;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(reports, error)) {
    const fs::path folder = entry.path();
    const std::string name = folder.filename().string();
    // Only named report folders: hidden ones are still being made.
    if (name.empty() || name.front() == '.' || folder == except || !entry.is_directory(error))
      continue;
    if (!newest.empty() && name <= newest.filename().string()) continue;
    RunSummary run;
    if (!readRunSummaryFile(folder / "summary.txt", run).empty()) continue;
    const auto after = hashesAfter(run, conversionDate);
    if (after.first.empty()) continue;
    if (!now) now = hashes();
    if (after == *now) newest = folder;
  }
  return newest;
}

}  // namespace varnok::reportfolder
