#include "booktool/book_csv.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace varnok::booktool {
using namespace varnok::gunbook;
namespace {

using Values = std::map<std::string, std::string>;

// A CSV row in record order: DispFlag 0, the named values, the rest empty.
std::string row(const Values& values) {
  std::string out;
  for (const GunField& field : kGunFields) {
    if (!out.empty()) out += ',';
    const auto it = values.find(field.name);
    out += it != values.end() ? it->second : (std::string(field.name) == "DispFlag" ? "0" : "");
  }
  return out + "\r\n";
}

std::string storedField(const StoredRecord& stored, const char* name) {
  for (const GunField& field : kGunFields) {
    if (std::string(name) == field.name)
      return std::string(reinterpret_cast<const char*>(stored.data()) + field.offset, field.width);
  }
  return "?";
}

TEST(BookCsvExport, HeaderNamesTheFieldsInRecordOrder) {
  EXPECT_EQ(bookCsvHeader(),
            "Field00,Field01,Field02,Field03,DateIn,RecvLastName,Field06,DateOut,DispLastName,"
            "Field09,RecvFirstName,RecvAddress,RecvCity,RecvState,DispFirstName,DispAddress,"
            "DispCity,DispState,DispZip,RecvZip,Status,Field21,Field22,Field23,Field24,DispFlag,"
            "Field26,Field27\r\n");
}

TEST(BookCsvExport, WritesTrimmedUtf8TextAndTheFlagAsANumber) {
  GunRecord record;
  record.Field00 = "G-2019-00123";
  record.Field03 = "Smith, Wesson";  // needs quoting
  record.RecvLastName = "M\xFCller";
  record.Status = " PAWN";
  record.Field24 = "say \"x";
  record.DispFlag = -1;
  record.Field27 = "ABCDEFGHIJKLMNOPQRSTU";  // the 21st is not in the book
  std::string out;
  appendBookCsvRow(out, toStored(record));
  EXPECT_EQ(out,
            "G-2019-00123,,,\"Smith, Wesson\",,M\u00FCller,,,,,,,,,,,,,,, PAWN,,,,"
            "\"say \"\"x\",-1,,ABCDEFGHIJKLMNOPQRST\r\n");
}

TEST(BookCsvImport, PadsValuesAndReadsTheFlag) {
  const CsvImport file = readBookCsv(bookCsvHeader() +
                                     row({{"Field00", "G-1"},
                                          {"RecvState", "TX"},
                                          {"Status", "\"SALE ITEM\""},
                                          {"RecvLastName", "Nu\u00F1ez"},
                                          {"DispFlag", "-1"}}) +
                                     row({{"Field00", "G-2"}, {"DispFlag", "-32768"}}));
  ASSERT_FALSE(file.problem) << file.problem->text();
  ASSERT_EQ(file.entries.size(), 2u);
  const StoredRecord& first = file.entries[0].stored;
  EXPECT_EQ(file.entries[0].line, 2u);
  EXPECT_EQ(file.entries[1].line, 3u);
  EXPECT_EQ(storedField(first, "Field00"), "G-1" + std::string(12, ' '));
  EXPECT_EQ(storedField(first, "Status"), "SALE ITEM      ");
  EXPECT_EQ(storedField(first, "RecvLastName"), "Nu\xF1" "ez" + std::string(10, ' '));
  EXPECT_EQ(storedField(first, "DateIn"), std::string(8, ' '));
  EXPECT_EQ(first[348], 0xFF);
  EXPECT_EQ(first[349], 0xFF);
  EXPECT_EQ(first[kFillerOffset], 0);
  EXPECT_EQ(file.entries[1].stored[349], 0x80);
  EXPECT_EQ(file.field00Column, 1u);
}

TEST(BookCsvImport, AcceptsLfEndsAByteOrderMarkReorderedColumnsAndTrailingBlanks) {
  const CsvImport plain =
      readBookCsv(bookCsvHeader() + row({{"Field00", "G-1"}, {"Status", "PAWN"}}));
  ASSERT_FALSE(plain.problem);

  // Status moved to the front, LF line ends, no final line end.
  std::string header = "Status", line = "PAWN";
  for (const GunField& field : kGunFields) {
    if (std::string(field.name) == "Status") continue;
    header += std::string(",") + field.name;
    line += std::string(",") + (std::string(field.name) == "Field00"   ? "G-1"
                                : std::string(field.name) == "DispFlag" ? "0"
                                                                        : "");
  }
  const CsvImport file = readBookCsv("\xEF\xBB\xBF" + header + "\n" + line);
  ASSERT_FALSE(file.problem) << file.problem->text();
  ASSERT_EQ(file.entries.size(), 1u);
  EXPECT_EQ(file.entries[0].stored, plain.entries[0].stored);
  EXPECT_EQ(file.field00Column, 2u);

  // A 15-character Status followed by blanks is still 15 characters.
  const CsvImport padded = readBookCsv(
      bookCsvHeader() + row({{"Field00", "G-1"}, {"Status", "PAWNED BY OWNER   "}}));
  ASSERT_FALSE(padded.problem) << padded.problem->text();
  EXPECT_EQ(storedField(padded.entries[0].stored, "Status"), "PAWNED BY OWNER");
}

TEST(BookCsvRoundTrip, AnyStoredBytesComeBackExactly) {
  std::mt19937 random(376);
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<StoredRecord> records(50);
  std::string text = bookCsvHeader();
  for (std::size_t i = 0; i < records.size(); ++i) {
    StoredRecord& r = records[i];
    for (auto& b : r) b = static_cast<uint8_t>(byte(random));
    std::fill_n(r.begin(), 15, ' ');
    const std::string key = std::string("K").append(std::to_string(i));
    std::copy(key.begin(), key.end(), r.begin());
    r[kFillerOffset] = 0;
    if (i % 3 == 0) std::fill_n(r.begin() + 146, 30, ' ');  // a blank field
    appendBookCsvRow(text, r);
  }
  const CsvImport file = readBookCsv(text);
  ASSERT_FALSE(file.problem) << file.problem->text();
  ASSERT_EQ(file.entries.size(), records.size());
  std::string again = bookCsvHeader();
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(file.entries[i].stored, records[i]) << "entry " << i;
    appendBookCsvRow(again, file.entries[i].stored);
  }
  EXPECT_EQ(again, text);
}

struct BadFile {
  const char* what;
  std::string text;
  std::size_t line, column;
  const char* columnName;
  const char* message;  // part of the message
};

void PrintTo(const BadFile& bad, std::ostream* out) { *out << bad.what; }

class BookCsvRefusal : public ::testing::TestWithParam<BadFile> {};

TEST_P(BookCsvRefusal, RefusesTheWholeFileNamingLineAndColumn) {
  const BadFile& bad = GetParam();
  const CsvImport file = readBookCsv(bad.text);
  ASSERT_TRUE(file.problem) << bad.what;
  EXPECT_TRUE(file.entries.empty());
  EXPECT_EQ(file.problem->line, bad.line);
  EXPECT_EQ(file.problem->column, bad.column);
  EXPECT_EQ(file.problem->columnName, bad.columnName);
  EXPECT_NE(file.problem->message.find(bad.message), std::string::npos) << file.problem->message;
}

std::string headerWith(const std::string& from, const std::string& to) {
  std::string header = bookCsvHeader();
  header.replace(header.find(from), from.size(), to);
  return header;
}

const std::string kGood = row({{"Field00", "G-1"}}) + row({{"Field00", "G-2"}});

INSTANTIATE_TEST_SUITE_P(
    Cases, BookCsvRefusal,
    ::testing::Values(
        BadFile{"empty", "", 1, 0, "", "empty"},
        BadFile{"unknown column", headerWith("Field02", "Field2") + kGood, 1, 3, "",
                "unknown column \"Field2\""},
        BadFile{"missing column", headerWith(",Field09", "") + kGood, 1, 0, "",
                "column Field09 (field 10 of 28) is missing"},
        BadFile{"duplicated column", headerWith("Field09", "DateIn") + kGood, 1, 10, "DateIn",
                "column DateIn appears twice (also column 5)"},
        BadFile{"value too long",
                bookCsvHeader() + kGood + row({{"Field00", "G-3"}, {"DateIn", "202506301"}}),
                4, 5, "DateIn", "value is 9 characters long; DateIn holds 8"},
        BadFile{"Field27 holds 20 in the book",
                bookCsvHeader() + row({{"Field00", "G-3"}, {"Field27", std::string(21, 'x')}}),
                2, 28, "Field27", "Field27 holds 20"},
        BadFile{"outside Windows-1252",
                bookCsvHeader() + kGood + row({{"Field00", "G-3"}, {"RecvCity", "Ki\u0119lce"}}),
                4, 13, "RecvCity", "character 3 (U+0119)"},
        BadFile{"not UTF-8",
                bookCsvHeader() + row({{"Field00", "G-3"}, {"Field01", "ab\xE9"}}),
                2, 2, "Field01", "character 3 is not valid UTF-8 (byte 0xE9)"},
        BadFile{"flag not a number", bookCsvHeader() + row({{"Field00", "G-3"}, {"DispFlag", "yes"}}),
                2, 26, "DispFlag", "\"yes\" is not a 16-bit integer"},
        BadFile{"flag too big", bookCsvHeader() + row({{"Field00", "G-3"}, {"DispFlag", "32768"}}),
                2, 26, "DispFlag", "not a 16-bit integer"},
        BadFile{"flag empty", bookCsvHeader() + row({{"Field00", "G-3"}, {"DispFlag", ""}}), 2,
                26, "DispFlag", "not a 16-bit integer"},
        BadFile{"flag with blank", bookCsvHeader() + row({{"Field00", "G-3"}, {"DispFlag", " -1"}}),
                2, 26, "DispFlag", "not a 16-bit integer"},
        BadFile{"Field00 twice (padding makes them equal)",
                bookCsvHeader() + kGood + row({{"Field00", "G-1  "}}), 4, 1, "Field00",
                "appears twice in the file (first on line 2)"},
        BadFile{"too few fields", bookCsvHeader() + kGood + "G-3,a,b\r\n", 4, 0, "",
                "the row has 3 fields; the header has 28"},
        BadFile{"empty line", bookCsvHeader() + kGood + "\r\n", 4, 0, "", "has 1 field;"},
        BadFile{"unterminated quote",
                bookCsvHeader() + kGood + row({{"Field00", "G-3"}, {"Field02", "\"open"}}), 4, 3,
                "Field02", "quoted value never closed"},
        BadFile{"stray quote",
                bookCsvHeader() + row({{"Field00", "G-3"}, {"Field06", "6\" barrel"}}), 2, 7,
                "Field06", "quote inside an unquoted value"},
        BadFile{"line numbers count lines inside quotes",
                bookCsvHeader() + row({{"Field00", "G-1"}, {"Field21", "\"two\r\nlines\""}}) +
                    row({{"Field00", "G-2"}, {"RecvState", "TXX"}}),
                4, 14, "RecvState", "holds 2"},
        BadFile{"the first problem in file order wins",
                bookCsvHeader() + row({{"Field00", "G-1"}, {"DispZip", "750011"}}) +
                    row({{"Field00", "G-2"}, {"Field02", "\"open"}}),
                2, 19, "DispZip", "holds 5"}),
    [](const ::testing::TestParamInfo<BadFile>& info) {
      std::string name;
      for (char c : std::string(info.param.what)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

TEST(BookCsvProblem, ReadsAsOneLine) {
  EXPECT_EQ((CsvProblem{12, 5, "DateIn", "value is 9 characters long"}).text(),
            "line 12, column 5 (DateIn): value is 9 characters long");
  EXPECT_EQ((CsvProblem{1, 3, "", "unknown column \"x\""}).text(),
            "line 1, column 3: unknown column \"x\"");
  EXPECT_EQ((CsvProblem{4, 0, "", "the row has 3 fields"}).text(), "line 4: the row has 3 fields");
  EXPECT_EQ(quoteForMessage("a\r\nb\xE9"), "a??b?");
  EXPECT_EQ(quoteForMessage(std::string(50, 'x')), std::string(40, 'x') + "...");
}

}  // namespace
}  // namespace varnok::booktool
