#include "gunbook/myroutines.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>

namespace varnok::gunbook {
namespace {

TEST(Nue, TurnsTheMaskedDateIntoBookDateForm) {
  EXPECT_EQ(nue("03/15/2004"), "20040315");
  EXPECT_EQ(nue("12/31/1999"), "19991231");
  EXPECT_EQ(nue("06/30/2025"), "20250630");
}

TEST(Nue, CountsPositionsOnlyAndNeverParses) {
  EXPECT_EQ(nue("3/15/2004"), "20043/5/");  // month without its leading zero
  EXPECT_EQ(nue("  /  /    "), "        ");  // an empty mask gives a blank date
  EXPECT_EQ(nue("ab/cd/efgh"), "efghabcd");
}

TEST(Nue, ShortTextsGiveWhatExists) {
  EXPECT_EQ(nue(""), "");
  EXPECT_EQ(nue("a"), "aa");      // whole text, then character 1
  EXPECT_EQ(nue("abc"), "abcab");  // whole text, characters 1-2, no 4-5
  EXPECT_EQ(nue("abcd"), "abcdabd");
  EXPECT_EQ(nue("12/31"), "2/311231");
}

TEST(Nue, BookDatesSortAsText) {
  EXPECT_LT(nue("03/15/2004"), nue("04/01/2004"));
  EXPECT_GT(nue("03/15/2004"), nue("12/31/2003"));
  EXPECT_LT(std::string(8, ' '), nue("01/01/1900"));  // a blank date sorts first
}

TEST(ConvBTI_long, ReadsFourBytesLittleEndian) {
  const std::array<uint8_t, 4> count = {57, 48, 0, 0};
  EXPECT_EQ(ConvBTI_long(count.data()), 12345);
  const std::array<uint8_t, 4> ones = {255, 255, 255, 255};
  EXPECT_EQ(ConvBTI_long(ones.data()), -1);
  const std::array<uint8_t, 4> lowest = {0, 0, 0, 0x80};
  EXPECT_EQ(ConvBTI_long(lowest.data()), INT_MIN);
}

TEST(ConvBTI_long, ReadsAtAnyPositionInsideABuffer) {
  std::array<uint8_t, 210> stat{};
  stat[5] = 0xEE;  // neighbours must not leak in
  stat[6] = 0x10;
  stat[7] = 0x27;
  stat[10] = 0xEE;
  EXPECT_EQ(ConvBTI_long(stat.data() + 6), 10000);
}

}  // namespace
}  // namespace varnok::gunbook
