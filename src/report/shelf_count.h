// The count on the shelf: a list of the guns physically in the store,
// compared with the guns the old book has in the store at the end of the
// conversion date (DateIn on or before it, and PAWN or SALE or a DateOut
// after it, as the reconciliation counts them).
//
// The list is what a scanner or a clerk writes: one value a line, or a CSV
// file. Its column is the first whose header is named like a serial number
// (Field01, serial, serial number, serial no, SN) or else like a stock
// number (Field00, stock, stock number, stock no), case and blanks aside;
// with no such header it is the first column, and the first line is a
// value too. Each value is a serial number (Field01) or a stock number
// (Field00): it matches a gun whose stock number or serial number reads the
// same, blanks around it and letter case aside.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gunbook/gun_record.h"
#include "recordmanager/record_manager.h"

namespace varnok::report {

struct CountedValue {
  std::string value;  // UTF-8, without the blanks around it
  std::size_t line;   // 1-based line of the file
};

struct ShelfList {
  std::vector<CountedValue> values;
  std::string column;  // how the column was chosen, for the report
  std::optional<std::string> problem;  // why the file cannot be read, with its line
};
ShelfList readShelfList(std::string_view text);

struct ShelfGun {
  std::string stockNumber, serialNumber;
  std::string detail;  // "Status PAWN, DateIn 20250101"
};
struct ShelfValue {
  CountedValue counted;
  std::string detail;  // what the old book says of it, if anything
};

struct ShelfCount {
  std::string bookDate;
  std::string column;
  std::size_t counted = 0;   // values in the list
  std::size_t inStore = 0;   // guns in the store per the old book
  std::size_t matched = 0;
  std::vector<ShelfValue> notInBook;    // on the shelf but not in the store per the book
  std::vector<ShelfGun> notOnShelf;     // in the store per the book but not counted
  std::vector<ShelfValue> countedAgain; // a gun counted a second time
  std::size_t differences() const {
    return notInBook.size() + notOnShelf.size() + countedAgain.size();
  }
};

ShelfCount compareShelfCount(const ShelfList& list, const std::vector<gunbook::GunRecord>& oldBook,
                             std::string_view bookDate);
std::string shelfCountText(const ShelfCount& count);

// The count in the file `countFile` against the old book in `oldFolder` (a
// folder as typed) on `bookDate`, as `varnok-cli reconcile --count` and the
// window make it: the count, or why it could not be made ("cannot read the
// count file F", "the count file F, <why>", or why the book cannot be
// read). The book is read and never written.
struct ShelfCountOutcome {
  std::optional<ShelfCount> count;
  std::string problem;
};
ShelfCountOutcome countShelfFile(rm::RecordManager& engine, const std::string& countFile,
                                 std::string_view oldFolder, std::string_view bookDate);

}  // namespace varnok::report
