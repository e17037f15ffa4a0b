#include "report/changes_applied.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <map>
#include <set>

#include "booktool/book_csv.h"
#include "booktool/csv.h"
#include "gunbook/windows1252.h"
#include "recordmanager/little_endian.h"
#include "report/changes.h"

namespace varnok::report {
namespace {

using gunbook::GunRecord;
using gunbook::kGunFields;
using gunbook::StoredRecord;

// A cell as changes.csv writes it: after an apostrophe when a spreadsheet
// would take the value for a formula.
std::string_view value(std::string_view cell) {
  if (cell.size() >= 2 && cell[0] == '\'' &&
      std::string_view("=+-@\t\r").find(cell[1]) != std::string_view::npos)
    cell.remove_prefix(1);
  return cell;
}

std::size_t fieldIndex(std::string_view name) {
  for (std::size_t i = 0; i < kGunFields.size(); ++i)
    if (name == kGunFields[i].name) return i;
  return kGunFields.size();
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

// One book's entries by their stored stock number; removed ones dropped.
class Book {
 public:
  explicit Book(const std::vector<GunRecord>& entries) {
    for (const GunRecord& e : entries) entries_.emplace(e.Field00.str(), gunbook::toStored(e));
  }
  std::string apply(const std::vector<booktool::csv::Field>& cells) {
    const std::string stock = gunbook::FixedText<15>(gunbook::toWindows1252(value(cells[1].text))).str();
    const std::size_t field = fieldIndex(cells[3].text);
    if (field == kGunFields.size()) return "no field " + cells[3].text;
    const bool removed = cells[2].text == changeName(Change::Removed);
    auto at = entries_.find(stock);
    if (at == entries_.end()) {
      if (removed || !cells[4].text.empty()) return "no entry " + std::string(value(cells[1].text));
      StoredRecord blank{};
      std::memset(blank.data(), ' ', blank.size());
      blank[gunbook::kFillerOffset] = 0;
      at = entries_.emplace(stock, blank).first;
      added_.insert(stock);
    }
    if (!added_.contains(stock) && booktool::bookCsvValue(at->second.data(), field) != value(cells[4].text))
      return "its value before is not what the book holds";
    if (removed) {
      gone_.push_back(stock);
      return {};
    }
    return store(at->second.data(), field, value(cells[5].text)) ? std::string()
                                                                  : "its value after does not fit";
  }
  std::vector<GunRecord> entries() {
    for (const std::string& stock : gone_) entries_.erase(stock);
    std::vector<GunRecord> out(entries_.size());
    std::size_t i = 0;
    for (const auto& [stock, stored] : entries_) gunbook::fromStored(stored.data(), out[i++]);
    return out;
  }

 private:
  std::map<std::string, StoredRecord> entries_;  // in stock-number order, as key 0
  std::vector<std::string> gone_;   // removed once all their rows are checked
  std::set<std::string> added_;     // entries the rows add: no value before
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

}  // namespace varnok::report
