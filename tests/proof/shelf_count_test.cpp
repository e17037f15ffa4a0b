// The count on the shelf: how the list is read, and the comparison with the
// old book, against outcomes worked out by hand.
#include "proof/shelf_count.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varnok::proof {
namespace {

using gunbook::GunRecord;

GunRecord gun(const std::string& stock, const std::string& serial, const std::string& in,
              const std::string& out, const std::string& status) {
  GunRecord e;
  e.Field00 = stock;
  e.Field01 = serial;
  e.DateIn = in;
  e.DateOut = out;
  e.Status = status;
  return e;
}

std::vector<std::string> valuesOf(const ShelfList& list) {
  std::vector<std::string> values;
  for (const CountedValue& v : list.values) values.push_back(std::to_string(v.line) + ":" + v.value);
  return values;
}

TEST(ReadingAShelfList, TakesTheNamedColumnOrElseTheFirst) {
  const struct {
    const char* text;
    std::vector<std::string> values;
    const char* column;
  } cases[] = {
      {"AB123\r\n  cd456 \r\n\r\nEF789", {"1:AB123", "2:cd456", "4:EF789"}, "the first column"},
      {"\xEF\xBB\xBF"
       "Field00,Field01\nG-1,S1\nG-2,S2\n", {"2:S1", "3:S2"}, "column 2 (\"Field01\""},
      {"Bin,Stock No.,Note\nB-1,G-7,\"shelf 2, left\"\nB-2,,\n", {"2:G-7"},
       "column 2 (\"Stock No.\""},
      {"Serial Number\n\"X,1\"\n", {"2:X,1"}, "column 1 (\"Serial Number\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const ShelfList list = readShelfList(c.text);
    EXPECT_FALSE(list.problem.has_value());
    EXPECT_EQ(valuesOf(list), c.values);
    EXPECT_EQ(list.column.rfind(c.column, 0), 0u) << list.column;
  }
  const ShelfList bad = readShelfList("S1\nS\"2\n");
  ASSERT_TRUE(bad.problem.has_value());
  EXPECT_EQ(bad.problem->rfind("line 2, column 1: ", 0), 0u) << *bad.problem;
  EXPECT_TRUE(bad.values.empty());
}

// In the store at the end of 06/30/2025: A (PAWN), B (SALE ITEM), C (sold
// after the date), E (blank DateIn, PAWN). Not: D (sold before), F
// (received after), G (pawn in lower case, left open).
TEST(ComparingACountWithTheOldBook, SortsEveryValueAndEveryGun) {
  const std::vector<GunRecord> oldBook = {
      gun("A", "SA", "20250101", "        ", "PAWN"),
      gun("B", "SB", "20250101", "        ", "SALE ITEM"),
      gun("C", "SC", "20250101", "20250715", "SOLD"),
      gun("D", "SD", "20250101", "20250301", "SOLD"),
      gun("E", "SE", "        ", "        ", "PAWN"),
      gun("F", "SF", "20250701", "        ", "PAWN"),
      gun("G", "SG", "20250101", "        ", "pawn"),
  };
  // A by its stock number, B by its serial number in lower case, A again,
  // D (sold before the date), an unknown value, C; E is not on the shelf.
  const ShelfList list = readShelfList("a\n sb\nSA\nSD\nZZ9\nSC\n");
  const ShelfCount count = compareShelfCount(list, oldBook, "20250630");
  EXPECT_EQ(count.counted, 6u);
  EXPECT_EQ(count.inStore, 4u);
  EXPECT_EQ(count.matched, 3u);
  ASSERT_EQ(count.notInBook.size(), 2u);
  EXPECT_EQ(count.notInBook[0].counted.value, "SD");
  EXPECT_EQ(count.notInBook[0].detail,
            "the old book has it, but not in the store on the date (Status SOLD, DateIn "
            "20250101, DateOut 20250301)");
  EXPECT_EQ(count.notInBook[1].counted.line, 5u);
  ASSERT_EQ(count.notOnShelf.size(), 1u);
  EXPECT_EQ(count.notOnShelf[0].stockNumber, "E");
  ASSERT_EQ(count.countedAgain.size(), 1u);
  EXPECT_EQ(count.countedAgain[0].counted.line, 3u);
  EXPECT_EQ(count.differences(), 4u);
  const std::string text = shelfCountText(count);
  EXPECT_NE(text.find("Differences: 4\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  E: serial number \"SE\", Status PAWN, DateIn blank"), std::string::npos)
      << text;

  const ShelfCount exact = compareShelfCount(readShelfList("SA\nB\nC\nSE\n"), oldBook, "20250630");
  EXPECT_EQ(exact.matched, 4u);
  EXPECT_EQ(exact.differences(), 0u);
  EXPECT_NE(shelfCountText(exact).find("The count matches the book.\n"), std::string::npos);
}

}  // namespace
}  // namespace varnok::proof
