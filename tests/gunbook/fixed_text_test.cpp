#include "gunbook/fixed_text.h"

#include <gtest/gtest.h>

namespace varnok::gunbook {
namespace {

TEST(FixedText, AssignmentPadsOrCuts) {
  FixedText<5> zip = "750011234";
  EXPECT_EQ(zip.view(), "75001");
  zip = "7";
  EXPECT_EQ(zip.view(), "7    ");
  zip = "";
  EXPECT_EQ(zip.view(), "     ");
}

TEST(FixedText, ALiteralComparesAsTheFieldItWouldMake) {
  const FixedText<15> status = "SOLD";
  EXPECT_TRUE(status == "SOLD");
  EXPECT_TRUE(status == "SOLD  ");
  EXPECT_FALSE(status == "SOL");
  EXPECT_FALSE(status == " SOLD");
  const FixedText<4> full = "PAWN";
  EXPECT_FALSE(full == "PAWNED");  // longer than the field: never equal
  EXPECT_TRUE(full < "PAWNED");
  // A string_view is compared as it is, trailing blanks and all.
  EXPECT_FALSE(status == std::string_view("SOLD"));
  EXPECT_TRUE(status == std::string_view("SOLD           "));
}

TEST(FixedText, OrdersByByteValue) {
  const FixedText<8> blank;
  const FixedText<8> onTheDate = "20250630";
  EXPECT_TRUE(blank < "20250630");
  EXPECT_TRUE(onTheDate < "20250701");
  EXPECT_TRUE(onTheDate > "20250629");
  EXPECT_TRUE(onTheDate == "20250630");
  FixedText<8> high;
  high.data()[0] = '\xE9';  // bytes above 0x7F sort after ASCII
  EXPECT_TRUE(onTheDate < high);
}

}  // namespace
}  // namespace varnok::gunbook
