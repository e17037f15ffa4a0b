#include "booktool/csv.h"

#include <gtest/gtest.h>

namespace varnok::booktool::csv {
namespace {

std::vector<std::vector<std::string>> texts(const Parsed& parsed) {
  std::vector<std::vector<std::string>> rows;
  for (const Row& row : parsed.rows) {
    rows.emplace_back();
    for (const Field& field : row.fields) rows.back().push_back(field.text);
  }
  return rows;
}

using Rows = std::vector<std::vector<std::string>>;

TEST(CsvParse, ReadsPlainAndQuotedFields) {
  const Parsed parsed =
      parse("a,b,c\r\n\"x, y\",\"say \"\"hi\"\"\",\r\n,\"\",\" lead\"\r\n");
  ASSERT_FALSE(parsed.problem);
  EXPECT_EQ(texts(parsed), (Rows{{"a", "b", "c"}, {"x, y", "say \"hi\"", ""}, {"", "", " lead"}}));
}

TEST(CsvParse, AcceptsLfAndCrLfAndAMissingFinalLineEnd) {
  EXPECT_EQ(texts(parse("a,b\nc,d\r\ne,f")), (Rows{{"a", "b"}, {"c", "d"}, {"e", "f"}}));
  EXPECT_EQ(texts(parse("a,b\n")), (Rows{{"a", "b"}}));
  EXPECT_TRUE(parse("").rows.empty());
  EXPECT_EQ(texts(parse("\n")), (Rows{{""}}));  // an empty line is a row of one empty field
}

TEST(CsvParse, KeepsLineEndsInsideQuotesAndCountsTheirLines) {
  const Parsed parsed = parse("h1,h2\r\n\"one\r\ntwo\",\"three\nfour\"\r\nlast,row\r\n");
  ASSERT_FALSE(parsed.problem);
  ASSERT_EQ(parsed.rows.size(), 3u);
  EXPECT_EQ(parsed.rows[1].fields[0].text, "one\r\ntwo");
  EXPECT_EQ(parsed.rows[1].fields[1].text, "three\nfour");
  EXPECT_EQ(parsed.rows[1].line, 2u);
  EXPECT_EQ(parsed.rows[1].fields[1].line, 3u);
  EXPECT_EQ(parsed.rows[2].line, 5u);
}

TEST(CsvParse, RefusesMalformedRowsWithLineAndColumn) {
  struct Case {
    const char* text;
    std::size_t line, column;
    const char* message;
    std::size_t rowsBefore;
  };
  const Case cases[] = {
      {"a,b\r\nc,\"open\r\nstill open", 2, 2, "quoted value never closed", 1},
      {"a,b\r\nc,d\"e\r\n", 2, 2, "quote inside an unquoted value", 1},
      {"a,b\r\n\"c\"x,d\r\n", 2, 1, "text after a closing quote", 1},
      {"a,b\rc,d\r\n", 1, 2, "carriage return outside quotes", 0},
  };
  for (const Case& c : cases) {
    const Parsed parsed = parse(c.text);
    ASSERT_TRUE(parsed.problem) << c.text;
    EXPECT_EQ(parsed.problem->line, c.line) << c.text;
    EXPECT_EQ(parsed.problem->column, c.column) << c.text;
    EXPECT_EQ(parsed.problem->message, c.message);
    EXPECT_EQ(parsed.rows.size(), c.rowsBefore) << c.text;
  }
}

TEST(CsvWrite, QuotesOnlyWhatNeedsIt) {
  std::string out;
  for (std::string_view v : {"plain", " lead", "a,b", "say \"hi\"", "two\r\nlines", "", "x\ny"}) {
    appendField(out, v);
    out += '|';
  }
  EXPECT_EQ(out, "plain| lead|\"a,b\"|\"say \"\"hi\"\"\"|\"two\r\nlines\"||\"x\ny\"|");
}

TEST(CsvWrite, WhatIsWrittenReadsBack) {
  const std::vector<std::string> values = {"a", "\"", ",", "\r\n", "\n\n", "", "\"\"x\"", " "};
  std::string text;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) text += ',';
    appendField(text, values[i]);
  }
  text += kLineEnd;
  const Parsed parsed = parse(text);
  ASSERT_FALSE(parsed.problem);
  EXPECT_EQ(texts(parsed), Rows{values});
}

}  // namespace
}  // namespace varnok::booktool::csv
