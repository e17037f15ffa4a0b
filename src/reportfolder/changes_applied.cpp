#include "reportfolder/changes_applied.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <map>
#include <unordered_map>
#include <utility>

#include "booktool/book_csv.h"
#include "booktool/csv.h"
#include "gunbook/windows1252.h"
#include "recordmanager/little_endian.h"
#include "reportfolder/changes.h"

namespace varnok::reportfolder {
namespace {

using gunbook::GunRecord;
using gunbook::kGunFields;
using gunbook::StoredRecord;

// What a cell of changes.csv can stand for. A value a spreadsheet would take
// for a formula is written after an apostrophe, so a cell such as '-5 is
// either -5 or a value that itself begins '-: both readings, the escaped one
// first.
std::vector<std::string_view> readings(std::string_view cell) {
  if (cell.size() >= 2 && cell[0] == '\'' &&
      std::string_view("=+-@\t\r").find(cell[1]) != std::string_view::npos)
    return {cell.substr(1), cell};
  return {cell};
}

std::string stockKey(std::string_view value) {
  return gunbook::FixedText<15>(gunbook::toWindows1252(value)).str();
}

constexpr const char* kAmbiguous =
    " may or may not begin with an apostrophe (changes.csv writes both alike), so the "
    "preview cannot tell the value; check the books with reconcile --converted after the run";

std::size_t fieldIndex(std::string_view name) {
  static const std::unordered_map<std::string_view, std::size_t> kIndex = [] {
    std::unordered_map<std::string_view, std::size_t> index;
    for (std::size_t i = 0; i < kGunFields.size(); ++i) index.emplace(kGunFields[i].name, i);
    return index;
  }();
  const auto at = kIndex.find(name);
  return at == kIndex.end() ? kGunFields.size() : at->second;
}

// Stores a value as the export wrote it; false when it is no value of the
// field.
bool store(uint8_t* stored, std::size_t field, std::string_view text) {
  const gunbook::GunField& where = kGunFields[field];
  if (field == gunbook::kDispFlagIndex) {
    int16_t flag = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), flag);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    rm::writeLittleEndian<2>(stored + where.offset, static_cast<uint16_t>(flag));
    return true;
  }
  const std::string bytes = gunbook::toWindows1252(text);
  if (bytes.size() > where.width) return false;
  std::memset(stored + where.offset, ' ', where.width);
  std::memcpy(stored + where.offset, bytes.data(), bytes.size());
  return true;
}

// A whole entry's cell (appendEntryLine) as the stored entry it was made
// from; false when it is no line of the export.
bool readEntryLine(std::string_view line, StoredRecord& stored, std::string& stock) {
  const booktool::csv::Parsed parsed = booktool::csv::parse(line);
  if (parsed.problem || parsed.rows.size() != 1 ||
      parsed.rows[0].fields.size() != kGunFields.size())
    return false;
  stored.fill(' ');
  stored[gunbook::kFillerOffset] = 0;
  for (std::size_t i = 0; i < kGunFields.size(); ++i)
    if (!store(stored.data(), i, parsed.rows[0].fields[i].text)) return false;
  stock = stockKey(parsed.rows[0].fields[0].text);
  return true;
}

// One book's entries by their stored stock number.
class Book {
 public:
  // Takes the entries over: the book is held once, in its stored form.
  explicit Book(std::vector<GunRecord>& entries) {
    for (const GunRecord& e : entries) entries_.emplace(e.Field00.str(), gunbook::toStored(e));
    std::vector<GunRecord>().swap(entries);
  }
  std::string apply(const std::vector<booktool::csv::Field>& cells) {
    if (cells[3].text == kWholeEntry) return applyWhole(cells[4].text, cells[5].text);
    const std::size_t field = fieldIndex(cells[3].text);
    if (field == kGunFields.size()) return "no field " + cells[3].text;
    const std::vector<std::string_view> stocks = readings(cells[1].text);
    // An entry's rows come one after another: most rows name the last one.
    auto at = cells[1].text == lastCell_ ? last_ : entries_.end();
    for (std::string_view stock : stocks)
      if (at == entries_.end()) at = entries_.find(stockKey(stock));
    if (at == entries_.end()) return "no entry " + std::string(stocks[0]);
    lastCell_ = cells[1].text;
    last_ = at;
    const std::string held = booktool::bookCsvValue(at->second.data(), field);
    const std::vector<std::string_view> before = readings(cells[4].text);
    if (std::find(before.begin(), before.end(), held) == before.end())
      return "the value before of " + cells[3].text + " is not what the book holds";
    // Only the readings the field can hold count: DispFlag -1 is written '-1.
    std::vector<std::string_view> after;
    for (std::string_view reading : readings(cells[5].text)) {
      StoredRecord trial = at->second;
      if (store(trial.data(), field, reading)) after.push_back(reading);
    }
    if (after.empty()) return "its value after does not fit " + cells[3].text;
    if (after.size() > 1) return "the value after of " + cells[3].text + kAmbiguous;
    store(at->second.data(), field, after[0]);
    if (field == 0) {
      // The entry goes by its new stock number from here on; its other rows
      // name the old one, which last_ stands for.
      auto node = entries_.extract(at);
      node.key() = stockKey(after[0]);
      const auto moved = entries_.insert(std::move(node));
      if (!moved.inserted) return "its stock number after is another entry's";
      last_ = moved.position;
    }
    return {};
  }
  std::vector<GunRecord> entries() const {
    std::vector<GunRecord> out(entries_.size());
    std::size_t i = 0;
    for (const auto& [stock, stored] : entries_) gunbook::fromStored(stored.data(), out[i++]);
    return out;
  }

 private:
  // A removed entry (its line before) or an added one (its line after).
  std::string applyWhole(std::string_view before, std::string_view after) {
    if (before.empty() == after.empty()) return "an entry row holds the entry before or after";
    StoredRecord stored;
    std::string stock;
    if (!readEntryLine(before.empty() ? after : before, stored, stock))
      return "its entry is no row of the book export";
    lastCell_.clear();
    last_ = entries_.end();
    const auto at = entries_.find(stock);
    if (after.empty()) {
      if (at == entries_.end()) return "no entry " + booktool::bookCsvValue(stored.data(), 0);
      std::string held;
      appendEntryLine(held, at->second.data());
      if (held != before) return "the entry before is not what the book holds";
      entries_.erase(at);
      return {};
    }
    if (at != entries_.end())
      return "the book holds the entry " + booktool::bookCsvValue(stored.data(), 0) + " already";
    entries_.emplace(stock, stored);
    return {};
  }

  std::map<std::string, StoredRecord> entries_;  // in stock-number order, as key 0
  std::string lastCell_;
  std::map<std::string, StoredRecord>::iterator last_ = entries_.end();
};

}  // namespace

std::string applyChanges(std::string_view changesCsv, std::vector<GunRecord>& oldBook,
                         std::vector<GunRecord>& newBook) {
  Book books[2] = {Book(oldBook), Book(newBook)};
  std::string problem;
  bool header = true;
  const auto unreadable = booktool::csv::parse(changesCsv, [&](const booktool::csv::Row& row) {
    if (std::exchange(header, false)) return true;
    const std::string where = "changes.csv line " + std::to_string(row.line) + ": ";
    if (row.fields.size() != 6) {
      problem = where + "not six cells";
      return false;
    }
    const std::string& book = row.fields[0].text;
    if (book != "old" && book != "new") {
      problem = where + "no book " + book;
      return false;
    }
    if (std::string why = books[book == "old" ? 0 : 1].apply(row.fields); !why.empty()) {
      problem = where + why;
      return false;
    }
    return true;
  });
  if (unreadable)
    return "changes.csv line " + std::to_string(unreadable->line) + ": " + unreadable->message;
  if (!problem.empty()) return problem;
  oldBook = books[0].entries();
  newBook = books[1].entries();
  return {};
}

}  // namespace varnok::reportfolder
