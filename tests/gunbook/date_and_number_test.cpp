#include "gunbook/date_and_number.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>

namespace varnok::gunbook {
namespace {

TEST(Nue, TurnsTheMaskedDateIntoBookDateForm) {
  EXPECT_EQ(bookDateFromFormDate("03/15/2004"), "20040315");
  EXPECT_EQ(bookDateFromFormDate("12/31/1999"), "19991231");
  EXPECT_EQ(bookDateFromFormDate("06/30/2025"), "20250630");
}

TEST(Nue, CountsPositionsOnlyAndNeverParses) {
  EXPECT_EQ(bookDateFromFormDate("3/15/2004"), "20043/5/");  // month without its leading zero
  EXPECT_EQ(bookDateFromFormDate("  /  /    "), "        ");  // an empty mask gives a blank date
  EXPECT_EQ(bookDateFromFormDate("ab/cd/efgh"), "efghabcd");
}

TEST(Nue, ShortTextsGiveWhatExists) {
  EXPECT_EQ(bookDateFromFormDate(""), "");
  EXPECT_EQ(bookDateFromFormDate("a"), "aa");      // whole text, then character 1
  EXPECT_EQ(bookDateFromFormDate("abc"), "abcab");  // whole text, characters 1-2, no 4-5
  EXPECT_EQ(bookDateFromFormDate("abcd"), "abcdabd");
  EXPECT_EQ(bookDateFromFormDate("12/31"), "2/311231");
}

TEST(Nue, BookDatesSortAsText) {
  EXPECT_LT(bookDateFromFormDate("03/15/2004"), bookDateFromFormDate("04/01/2004"));
  EXPECT_GT(bookDateFromFormDate("03/15/2004"), bookDateFromFormDate("12/31/2003"));
  EXPECT_LT(std::string(8, ' '), bookDateFromFormDate("01/01/1900"));  // a blank date sorts first
}

TEST(int32FromLittleEndian, ReadsFourBytesLittleEndian) {
  const std::array<uint8_t, 4> count = {57, 48, 0, 0};
  EXPECT_EQ(int32FromLittleEndian(count.data()), 12345);
  const std::array<uint8_t, 4> ones = {255, 255, 255, 255};
  EXPECT_EQ(int32FromLittleEndian(ones.data()), -1);
  const std::array<uint8_t, 4> lowest = {0, 0, 0, 0x80};
  EXPECT_EQ(int32FromLittleEndian(lowest.data()), INT_MIN);
}

TEST(int32FromLittleEndian, ReadsAtAnyPositionInsideABuffer) {
  std::array<uint8_t, 210> stat{};
  stat[5] = 0xEE;  // neighbours must not leak in
  stat[6] = 0x10;
  stat[7] = 0x27;
  stat[10] = 0xEE;
  EXPECT_EQ(int32FromLittleEndian(stat.data() + 6), 10000);
}

}  // namespace
}  // namespace varnok::gunbook
