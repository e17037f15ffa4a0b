// Gun book entries as CSV: the form the book tool exports and imports.
//
// What export writes (and so what an import of it gives back byte for
// byte): UTF-8 without a byte-order mark; a header row of the 28 field names
// in record order; one row per entry; every row, the last included, ended by
// CR LF; text fields converted from Windows-1252 with their trailing blanks
// removed; DispFlag as a decimal integer; a field quoted only when it holds a
// quote, a comma, CR or LF, with quotes inside doubled. Field27 is written
// with its 20 stored characters.
//
// What import also accepts: LF line ends, a missing final line end, a
// leading byte-order mark, quotes around any field, header columns in any
// order, and trailing blanks (they are the field's padding anyway).
#pragma once

#include <cstddef>
#include <functional>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gunbook/gun_record.h"

namespace varnok::booktool {
using namespace varnok::gunbook;

// Why an import file is refused, and where.
struct CsvProblem {
  std::size_t line = 0;      // 1-based line of the file
  std::size_t column = 0;    // 1-based column; 0 when the whole line is meant
  std::string columnName;    // the header's name for the column, when it has one
  std::string message;

  // "line 12, column 5 (DateIn): value is 9 characters long; DateIn holds 8"
  std::string text() const;
};

struct CsvEntry {
  StoredRecord stored;       // filler 0
  std::size_t line;          // where the entry's row starts
};

struct CsvImport {
  std::vector<CsvEntry> entries;  // in file order; empty when refused
  std::size_t field00Column = 0;  // where Field00 is, for later complaints about it
  std::optional<CsvProblem> problem;
};

// Reads and checks a whole file: the header, every row's shape, every value
// against its field, and Field00 unique within the file. Stops at the first
// problem in file order.
CsvImport readBookCsv(std::string_view text);

// The same check, keeping no entries: for a file too large to hold twice.
CsvImport checkBookCsv(std::string_view text);

// Hands each entry of a text that checkBookCsv accepted to `visit`, in file
// order, until it returns false.
using CsvEntryVisitor = std::function<bool(const CsvEntry&)>;
void visitCheckedBookCsv(std::string_view text, const CsvEntryVisitor& visit);

// The header row, line end included.
std::string bookCsvHeader();

// One entry's row, line end included.
void appendBookCsvRow(std::string& out, const StoredRecord& stored);

// One field of the stored entry as its row holds it, before any quoting:
// UTF-8 text without its trailing blanks, DispFlag as a decimal integer.
std::string bookCsvValue(const uint8_t* stored, std::size_t field);
// The same value appended to `out` as a CSV field, quoted when it must be.
void appendBookCsvField(std::string& out, const uint8_t* stored, std::size_t field);

// Printable ASCII only, cut to a short length: for quoting values from a
// file in one-line messages.
std::string quoteForMessage(std::string_view value);

}  // namespace varnok::booktool
