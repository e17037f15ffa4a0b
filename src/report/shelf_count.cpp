#include "report/shelf_count.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <unordered_map>

#include "booktool/book_tool.h"
#include "booktool/csv.h"
#include "gunbook/blanks.h"
#include "gunbook/windows1252.h"
#include "report/reconciliation.h"

namespace varnok::report {
namespace {

using gunbook::GunRecord;

std::string trimmed(std::string_view value) {
  const auto first = value.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return std::string(value.substr(first, value.find_last_not_of(" \t") - first + 1));
}

// A header cell as a name to recognise: lower case, no blanks, dots,
// underscores or dashes.
std::string headerName(std::string_view cell) {
  std::string name;
  for (char c : cell)
    if (c != ' ' && c != '_' && c != '-' && c != '.' && c != '\t')
      name += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return name;
}

bool namesSerial(const std::string& n) {
  return n == "field01" || n == "serial" || n == "serialnumber" || n == "serialno" ||
         n == "serial#" || n == "sn";
}
bool namesStock(const std::string& n) {
  return n == "field00" || n == "stock" || n == "stocknumber" || n == "stockno" ||
         n == "stock#";
}

// The column the values are in, and whether the first row is a header.
struct Column {
  std::size_t at = 0;
  bool header = false;
  std::string how;
};
Column chooseColumn(const booktool::csv::Row& first) {
  for (const auto names : {namesSerial, namesStock}) {
    for (std::size_t i = 0; i < first.fields.size(); ++i) {
      if (names(headerName(first.fields[i].text)))
        return {i, true, "column " + std::to_string(i + 1) + " (\"" + trimmed(first.fields[i].text) +
                             "\" in the header)"};
    }
  }
  return {0, false, "the first column (no header names a serial or stock number column)"};
}

// A value as it is compared: book text, no blanks around it, upper case.
std::string key(std::string_view bookOrCounted, bool counted) {
  std::string value = trimmed(counted ? gunbook::toWindows1252(bookOrCounted)
                                      : std::string(bookOrCounted));
  for (char& c : value) c = gunbook::upperWindows1252(c);
  return value;
}

std::string text(std::string_view bookText) {
  return gunbook::fromWindows1252(gunbook::withoutTrailingBlanks(bookText));
}

bool inStoreAtEnd(const GunRecord& e, std::string_view date) {
  return e.DateIn <= date && (onHandStatus(e.Status) || e.DateOut > date);
}

std::string dateText(std::string_view date) {
  const std::string value = text(date);
  return value.empty() ? "blank" : value;
}

std::string detailOf(const GunRecord& e) {
  const std::string status = text(e.Status.view());
  return "Status " + (status.empty() ? std::string("blank") : status) + ", DateIn " +
         dateText(e.DateIn.view()) + ", DateOut " + dateText(e.DateOut.view());
}

}  // namespace

ShelfList readShelfList(std::string_view text) {
  ShelfList list;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  Column column;
  bool first = true;
  const auto problem = booktool::csv::parse(text, [&](const booktool::csv::Row& row) {
    if (first) {
      first = false;
      column = chooseColumn(row);
      if (column.header) return true;
    }
    if (column.at < row.fields.size()) {
      std::string value = trimmed(row.fields[column.at].text);
      if (!value.empty()) list.values.push_back({std::move(value), row.line});
    }
    return true;
  });
  list.column = column.how;
  if (problem) {
    list.values.clear();
    list.problem = "line " + std::to_string(problem->line) + ", column " +
                   std::to_string(problem->column) + ": " + problem->message;
  }
  return list;
}

ShelfCount compareShelfCount(const ShelfList& list, const std::vector<GunRecord>& oldBook,
                             std::string_view bookDate) {
  ShelfCount count;
  count.bookDate = std::string(bookDate);
  count.column = list.column;
  count.counted = list.values.size();
  // Stock numbers first: a value that is one gun's stock number and
  // another's serial number is taken for the stock number.
  std::unordered_map<std::string, std::size_t> byStock, bySerial, anyEntry;
  std::vector<const GunRecord*> inStore;
  for (const GunRecord& e : oldBook) {
    anyEntry.emplace(key(e.Field00.view(), false), &e - oldBook.data());
    anyEntry.emplace(key(e.Field01.view(), false), &e - oldBook.data());
    if (!inStoreAtEnd(e, bookDate)) continue;
    byStock.emplace(key(e.Field00.view(), false), inStore.size());
    if (std::string serial = key(e.Field01.view(), false); !serial.empty())
      bySerial.emplace(std::move(serial), inStore.size());
    inStore.push_back(&e);
  }
  count.inStore = inStore.size();
  std::vector<bool> seen(inStore.size(), false);
  for (const CountedValue& counted : list.values) {
    const std::string wanted = key(counted.value, true);
    const auto lookUp = [&wanted](const auto& index) {
      const auto at = index.find(wanted);
      return at == index.end() ? std::optional<std::size_t>() : at->second;
    };
    const std::optional<std::size_t> gun =
        lookUp(byStock) ? lookUp(byStock) : lookUp(bySerial);
    if (!gun) {
      const auto entry = anyEntry.find(wanted);
      std::string detail = "no stock or serial number of the old book";
      if (entry != anyEntry.end())
        detail = "the old book has it, but not in the store on the date (" +
                 detailOf(oldBook[entry->second]) + ")";
      count.notInBook.push_back({counted, detail});
    } else if (seen[*gun]) {
      count.countedAgain.push_back(
          {counted, "counted before: stock number " + text(inStore[*gun]->Field00.view())});
    } else {
      seen[*gun] = true;
      ++count.matched;
    }
  }
  for (std::size_t i = 0; i < inStore.size(); ++i) {
    if (seen[i]) continue;
    count.notOnShelf.push_back(
        {text(inStore[i]->Field00.view()), text(inStore[i]->Field01.view()), detailOf(*inStore[i])});
  }
  return count;
}

std::string shelfCountText(const ShelfCount& c) {
  std::string out = "Count on the shelf against the old book on " + bookDateLine(c.bookDate) + "\n";
  out += "Values read from " + c.column + "\n";
  out += "Counted: " + std::to_string(c.counted) + "\n";
  out += "In the store at the end of the date (old book): " + std::to_string(c.inStore) + "\n";
  out += "Matched: " + std::to_string(c.matched) + "\n";
  out += "On the shelf but not in the book: " + std::to_string(c.notInBook.size()) + "\n";
  out += "In the book but not on the shelf: " + std::to_string(c.notOnShelf.size()) + "\n";
  out += "Counted more than once: " + std::to_string(c.countedAgain.size()) + "\n";
  out += c.differences() == 0 ? "The count matches the book.\n"
                              : "Differences: " + std::to_string(c.differences()) + "\n";
  const auto values = [&out](const char* heading, const std::vector<ShelfValue>& list) {
    if (list.empty()) return;
    out += std::string("\n") + heading + ":\n";
    for (const ShelfValue& v : list)
      out += "  line " + std::to_string(v.counted.line) + ": \"" + v.counted.value + "\": " +
             v.detail + "\n";
  };
  values("On the shelf but not in the book", c.notInBook);
  if (!c.notOnShelf.empty()) {
    out += "\nIn the book but not on the shelf:\n";
    for (const ShelfGun& g : c.notOnShelf)
      out += "  " + g.stockNumber + ": serial number \"" + g.serialNumber + "\", " + g.detail + "\n";
  }
  values("Counted more than once", c.countedAgain);
  return out;
}

ShelfCountOutcome countShelfFile(rm::RecordManager& engine, const std::string& countFile,
                                 std::string_view oldFolder, std::string_view bookDate) {
  std::ifstream in(countFile, std::ios::binary);
  if (!in) return {std::nullopt, "cannot read the count file " + countFile};
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  const ShelfList list = readShelfList(text);
  if (list.problem) return {std::nullopt, "the count file " + countFile + ", " + *list.problem};
  std::vector<GunRecord> oldBook;
  const auto read = booktool::readEntries(engine, oldFolder, oldBook);
  if (!read.ok) return {std::nullopt, read.problem};
  return {compareShelfCount(list, oldBook, bookDate), {}};
}

}  // namespace varnok::report
