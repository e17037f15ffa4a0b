#include "booktool/book_csv.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>

#include "booktool/csv.h"
#include "gunbook/blanks.h"
#include "gunbook/windows1252.h"
#include "recordmanager/little_endian.h"

namespace varnok::booktool {
using namespace varnok::gunbook;
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kNoField = kGunFields.size();

std::size_t fieldIndexOf(std::string_view name) {
  for (std::size_t i = 0; i < kGunFields.size(); ++i) {
    if (name == kGunFields[i].name) return i;
  }
  return kNoField;
}

// Describes the character at `offset` that kept a value out of the book.
std::string describeBadCharacter(std::string_view value, std::size_t offset) {
  std::size_t position = 1;
  for (std::size_t i = 0; i < offset; i += decodeUtf8(value, i).length) ++position;
  const Utf8Char c = decodeUtf8(value, offset);
  char code[16];
  if (!c.valid) {
    std::snprintf(code, sizeof code, "0x%02X",
                  static_cast<unsigned>(static_cast<unsigned char>(value[offset])));
    return "character " + std::to_string(position) + " is not valid UTF-8 (byte " + code + ")";
  }
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c.codePoint));
  return "character " + std::to_string(position) + " (" + code +
         ") cannot be held in the book's Windows-1252 text";
}

std::optional<int16_t> parseInt16(std::string_view text) {
  std::size_t digits = text.starts_with('-') ? 1 : 0;
  if (digits == text.size()) return std::nullopt;
  for (std::size_t i = digits; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() ||
      value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
    return std::nullopt;
  return static_cast<int16_t>(value);
}

class ImportReader {
 public:
  // visit gets each good entry in file order and may stop the reading.
  // compareField00s: refuse a Field00 that appears twice; off for a text
  // already checked, which then costs no memory per entry.
  ImportReader(const CsvEntryVisitor& visit, bool compareField00s)
      : visit_(visit), compareField00s_(compareField00s) {}

  CsvImport read(std::string_view text) {
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    bool sawHeader = false;
    const auto parseProblem = csv::parse(text, [&](const csv::Row& row) {
      if (!sawHeader) {
        sawHeader = true;
        return readHeader(row);
      }
      readRow(row);
      return !result_.problem && !stopped_;
    });
    if (!sawHeader && !parseProblem) {
      refuse(1, 0, "the file is empty; it needs a header row of the 28 field names");
    }
    if (!result_.problem && parseProblem) {
      refuse(parseProblem->line, parseProblem->column, parseProblem->message);
    }
    return std::move(result_);
  }

 private:
  void refuse(std::size_t line, std::size_t column, std::string message) {
    CsvProblem problem{line, column, {}, std::move(message)};
    if (column >= 1 && column <= columnField_.size() && columnField_[column - 1] != kNoField) {
      problem.columnName = kGunFields[columnField_[column - 1]].name;
    }
    result_.problem = std::move(problem);
  }

  bool readHeader(const csv::Row& header) {
    std::array<std::size_t, kGunFields.size()> columnOf{};  // 0: not seen
    for (std::size_t c = 0; c < header.fields.size(); ++c) {
      const std::string& name = header.fields[c].text;
      const std::size_t field = fieldIndexOf(name);
      if (field == kNoField) {
        refuse(header.line, c + 1, "unknown column \"" + quoteForMessage(name) + "\"");
        return false;
      }
      if (columnOf[field] != 0) {
        columnField_.push_back(field);
        refuse(header.line, c + 1,
               "column " + name + " appears twice (also column " +
                   std::to_string(columnOf[field]) + ")");
        return false;
      }
      columnOf[field] = c + 1;
      columnField_.push_back(field);
    }
    for (std::size_t field = 0; field < kGunFields.size(); ++field) {
      if (columnOf[field] == 0) {
        refuse(header.line, 0,
               std::string("column ") + kGunFields[field].name + " (field " +
                   std::to_string(field + 1) + " of 28) is missing from the header");
        return false;
      }
    }
    result_.field00Column = columnOf[0];
    return true;
  }

  void readRow(const csv::Row& row) {
    if (row.fields.size() != columnField_.size()) {
      refuse(row.line, 0,
             "the row has " + std::to_string(row.fields.size()) + " field" +
                 (row.fields.size() == 1 ? "" : "s") + "; the header has " +
                 std::to_string(columnField_.size()));
      return;
    }
    CsvEntry entry{{}, row.line};
    entry.stored.fill(' ');
    entry.stored[kFillerOffset] = 0;
    for (std::size_t c = 0; c < row.fields.size() && !result_.problem; ++c) {
      storeValue(row.fields[c], c + 1, columnField_[c], entry.stored);
    }
    if (result_.problem) return;

    if (compareField00s_ && !field00New(entry, row)) return;
    if (!visit_(entry)) stopped_ = true;
  }

  bool field00New(const CsvEntry& entry, const csv::Row& row) {
    const GunField& key = kGunFields[0];
    std::string field00(reinterpret_cast<const char*>(entry.stored.data()) + key.offset,
                        key.width);
    const auto [seen, isNew] = firstLineOf_.emplace(field00, row.line);
    if (isNew) return true;
    const std::size_t column = result_.field00Column;
    refuse(row.fields[column - 1].line, column,
           "\"" + quoteForMessage(row.fields[column - 1].text) +
               "\" appears twice in the file (first on line " + std::to_string(seen->second) +
               ")");
    return false;
  }

  void storeValue(const csv::Field& value, std::size_t column, std::size_t field,
                  StoredRecord& stored) {
    const GunField& where = kGunFields[field];
    if (field == kDispFlagIndex) {
      const auto flag = parseInt16(value.text);
      if (!flag) {
        refuse(value.line, column,
               "\"" + quoteForMessage(value.text) +
                   "\" is not a 16-bit integer (-32768 to 32767; 0 False, -1 True)");
        return;
      }
      const auto bits = static_cast<uint16_t>(*flag);
      rm::writeLittleEndian<2>(stored.data() + where.offset, bits);
      return;
    }
    std::size_t badOffset = 0;
    const auto bytes = toWindows1252Strict(value.text, &badOffset);
    if (!bytes) {
      refuse(value.line, column, describeBadCharacter(value.text, badOffset));
      return;
    }
    const std::string_view text = withoutTrailingBlanks(*bytes);
    if (text.size() > where.width) {
      refuse(value.line, column,
             "value is " + std::to_string(text.size()) + " characters long; " + where.name +
                 " holds " + std::to_string(where.width));
      return;
    }
    if (!text.empty()) std::memcpy(stored.data() + where.offset, text.data(), text.size());
  }

  const CsvEntryVisitor& visit_;
  const bool compareField00s_;
  bool stopped_ = false;
  CsvImport result_;
  std::vector<std::size_t> columnField_;  // field index of each header column
  std::map<std::string, std::size_t> firstLineOf_;  // Field00 -> line
};

}  // namespace

std::string CsvProblem::text() const {
  std::string out = "line " + std::to_string(line);
  if (column != 0) {
    out += ", column " + std::to_string(column);
    if (!columnName.empty()) out += " (" + columnName + ")";
  }
  out += ": " + message;
  return out;
}

CsvImport readBookCsv(std::string_view text) {
  std::vector<CsvEntry> entries;
  const CsvEntryVisitor keep = [&entries](const CsvEntry& entry) {
    entries.push_back(entry);
    return true;
  };
  CsvImport result = ImportReader(keep, true).read(text);
  if (!result.problem) result.entries = std::move(entries);
  return result;
}

CsvImport checkBookCsv(std::string_view text) {
  const CsvEntryVisitor ignore = [](const CsvEntry&) { return true; };
  return ImportReader(ignore, true).read(text);
}

void visitCheckedBookCsv(std::string_view text, const CsvEntryVisitor& visit) {
  ImportReader(visit, false).read(text);
}

std::string bookCsvHeader() {
  std::string out;
  for (const GunField& field : kGunFields) {
    if (!out.empty()) out += ',';
    out += field.name;
  }
  out += csv::kLineEnd;
  return out;
}

std::string bookCsvValue(const uint8_t* stored, std::size_t field) {
  const GunField& where = kGunFields[field];
  if (field == kDispFlagIndex)
    return std::to_string(static_cast<int16_t>(rm::readLittleEndian<2>(stored + where.offset)));
  const std::string_view bytes(reinterpret_cast<const char*>(stored) + where.offset, where.width);
  return fromWindows1252(withoutTrailingBlanks(bytes));
}

namespace {

// The bytes a value cannot carry into a cell as they are: not ASCII (to be
// made UTF-8), or what a cell must quote.
constexpr std::array<bool, 256> kNeedsCare = [] {
  std::array<bool, 256> care{};
  for (int c = 0x80; c < 0x100; ++c) care[std::size_t(c)] = true;
  for (const char c : {'"', ',', '\r', '\n'}) care[static_cast<unsigned char>(c)] = true;
  return care;
}();

}  // namespace

void appendBookCsvField(std::string& out, const uint8_t* stored, std::size_t field) {
  if (field != kDispFlagIndex) {
    // Plain ASCII, the common case, is its own UTF-8 and needs no quotes.
    const GunField& where = kGunFields[field];
    const uint8_t* text = stored + where.offset;
    std::size_t length = where.width;
    while (length > 0 && text[length - 1] == ' ') --length;
    bool plain = true;
    for (std::size_t i = 0; i < length; ++i) plain &= !kNeedsCare[text[i]];
    if (plain) {
      out.append(reinterpret_cast<const char*>(text), length);
      return;
    }
  }
  csv::appendField(out, bookCsvValue(stored, field));
}

void appendBookCsvRow(std::string& out, const StoredRecord& stored) {
  for (std::size_t i = 0; i < kGunFields.size(); ++i) {
    if (i != 0) out += ',';
    appendBookCsvField(out, stored.data(), i);
  }
  out += csv::kLineEnd;
}

std::string quoteForMessage(std::string_view value) {
  constexpr std::size_t kLongest = 40;
  std::string out;
  for (char c : value.substr(0, kLongest)) {
    out += c >= 0x20 && c < 0x7F ? c : '?';
  }
  if (value.size() > kLongest) out += "...";
  return out;
}

}  // namespace varnok::booktool
