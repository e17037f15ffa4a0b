#include "reportfolder/summary_reading.h"

#include <cstdlib>

namespace varnok::reportfolder {
namespace {

namespace fs = std::filesystem;

bool startsWith(std::string_view text, std::string_view lead) {
  return text.substr(0, lead.size()) == lead;
}

std::string_view unindented(std::string_view line) {
  const std::size_t at = line.find_first_not_of(' ');
  return at == std::string_view::npos ? std::string_view() : line.substr(at);
}

long countOf(std::string_view text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return -1;
  return std::strtol(std::string(text).c_str(), nullptr, 10);
}

// "entries: 300 before, 268 after" (or "... after the run (previewed)").
void readEntriesLine(std::string_view rest, SummaryBook& book) {
  const std::size_t before = rest.find(" before");
  if (before == std::string_view::npos) return;
  book.entriesBefore = countOf(rest.substr(0, before));
  const std::size_t comma = rest.find(", ", before);
  if (comma == std::string_view::npos) return;
  const std::string_view after = rest.substr(comma + 2);
  book.entriesAfter = countOf(after.substr(0, after.find(' ')));
}

void readBookDetail(std::string_view detail, SummaryBook& book) {
  book.details.emplace_back(detail);
  const auto hashAfter = [](std::string_view rest) {
    return std::string(unindented(rest).substr(0, 64));
  };
  if (startsWith(detail, "entries: "))
    readEntriesLine(detail.substr(9), book);
  else if (startsWith(detail, "SHA-256 before: "))
    book.sha256Before = hashAfter(detail.substr(16));
  else if (startsWith(detail, "SHA-256 after: "))
    book.sha256After = hashAfter(detail.substr(15));
  else if (startsWith(detail, "changed: "))
    book.changed = detail.substr(9);
}

}  // namespace

std::vector<std::string> summaryLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// In the "Books" section (indented lines up to the next heading) a book's
// first line is indented by two blanks ("  old book: PATH", "  book: PATH"),
// its details by four.
bool readSummaryBookLine(std::string_view line, std::string& role, fs::path& book) {
  if (!startsWith(line, "  ") || startsWith(line, "   ")) return false;
  const std::size_t at = line.find("book: ", 2);
  if (at == std::string_view::npos || (at != 2 && line[at - 1] != ' ')) return false;
  const std::string_view word = line.substr(2, at == 2 ? 0 : at - 3);
  if (word.find_first_of(" :") != std::string_view::npos) return false;
  role = word.empty() ? "book" : std::string(word);
  book = std::string(line.substr(at + 6));
  return !book.empty();
}

std::string readRunSummary(std::string_view text, RunSummaryText& summary) {
  summary = RunSummaryText{};
  const std::vector<std::string> lines = summaryLines(text);
  if (lines.empty() || !startsWith(lines.front(), kSummaryLead))
    return "it is not a Varnok report's summary (it does not begin \"Varnok report: \")";
  summary.kind = lines.front().substr(kSummaryLead.size());
  std::string section;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty()) continue;
    if (line.front() != ' ') {
      section = line;
      if (startsWith(line, "program: ")) summary.program = line.substr(9);
      if (startsWith(line, "outcome: ")) summary.outcome = line.substr(9);
      continue;
    }
    if (section == "Inputs") {
      const std::string_view entry = unindented(line);
      const std::size_t colon = entry.find(": ");
      if (colon != std::string_view::npos)
        summary.inputs[std::string(entry.substr(0, colon))] = entry.substr(colon + 2);
    } else if (section == "Books") {
      SummaryBook book;
      if (readSummaryBookLine(line, book.role, book.file))
        summary.books.push_back(std::move(book));
      else if (!summary.books.empty() && startsWith(line, "    "))
        readBookDetail(unindented(line), summary.books.back());
    } else if (section == "Reconciliation") {
      summary.reconciliation.emplace_back(unindented(line));
    }
  }
  if (summary.books.empty()) return "it names no book";
  return {};
}

}  // namespace varnok::reportfolder
