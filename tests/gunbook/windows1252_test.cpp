#include "gunbook/windows1252.h"

#include <gtest/gtest.h>

namespace varnok::gunbook {
namespace {

TEST(Windows1252, EveryByteSurvivesTheWayToUtf8AndBack) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = fromWindows1252(all);
  const auto back = toWindows1252Strict(utf8);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, all);
  EXPECT_EQ(toWindows1252(utf8), all);
}

TEST(Windows1252, MapsTheHighControlRangeAsWindowsDoes) {
  EXPECT_EQ(fromWindows1252("\x80"), "\u20AC");  // €
  EXPECT_EQ(fromWindows1252("\x8A"), "\u0160");  // Š
  EXPECT_EQ(fromWindows1252("\x99"), "\u2122");  // ™
  EXPECT_EQ(fromWindows1252("\x92"), "\u2019");  // ’
  EXPECT_EQ(fromWindows1252("\x9F"), "\u0178");  // Ÿ
  EXPECT_EQ(fromWindows1252("\xE9"), "\u00E9");  // é, Latin-1 range
  EXPECT_EQ(fromWindows1252("\xA0"), "\u00A0");
  // The five undefined bytes stand for the C1 control of the same value.
  for (unsigned char b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(fromWindows1252(byte), std::string("\xC2") + static_cast<char>(b));
  }
  EXPECT_EQ(toWindows1252("Caf\u00E9 \u20AC5 \u201Cquoted\u201D"), "Caf\xE9 \x80" "5 \x93quoted\x94");
}

TEST(Windows1252, LenientFormWritesQuestionMarksAndKeepsTheRest) {
  EXPECT_EQ(toWindows1252("Zo\u00EB \u4E2D!"), "Zo\xEB ?!");  // CJK has no place
  EXPECT_EQ(toWindows1252("\u0080"), "?");  // U+0080 is not the euro's byte
  EXPECT_EQ(toWindows1252("\U0001F52B gun"), "? gun");
  EXPECT_EQ(toWindows1252("a\xFF" "b"), "a?b");
  EXPECT_EQ(toWindows1252("a\xE2\x82" "b"), "a?b");   // a cut-off sequence is one character
  EXPECT_EQ(toWindows1252("a\xC0\xAF" "b"), "a??b");  // overlong: no valid start at all
  EXPECT_EQ(toWindows1252("\xED\xA0\x80"), "???");    // a surrogate is not a character
  EXPECT_EQ(toWindows1252("end\xE2\x82"), "end?");
  EXPECT_EQ(toWindows1252(""), "");
}

TEST(Windows1252, StrictFormNamesTheFirstBadByteOffset) {
  std::size_t offset = 99;
  EXPECT_FALSE(toWindows1252Strict("Zo\u00EB \u4E2D \u4E2D", &offset).has_value());
  EXPECT_EQ(offset, 5u);  // Z o ë(2 bytes) blank
  EXPECT_FALSE(toWindows1252Strict("ab\xF5", &offset).has_value());
  EXPECT_EQ(offset, 2u);
  EXPECT_FALSE(toWindows1252Strict("\xE2\x82", &offset).has_value());
  EXPECT_EQ(offset, 0u);
  const auto ok = toWindows1252Strict("M\u00FCller \u2122", &offset);
  ASSERT_TRUE(ok.has_value());
  EXPECT_EQ(*ok, "M\xFCller \x99");
}

TEST(Utf8Decoding, GivesCodePointsAndLengths) {
  const std::string text = "a\u00E9\u20AC\U0001F52B";
  Utf8Char c = decodeUtf8(text, 0);
  EXPECT_TRUE(c.valid);
  EXPECT_EQ(c.codePoint, U'a');
  c = decodeUtf8(text, 1);
  EXPECT_EQ(c.codePoint, U'\u00E9');
  EXPECT_EQ(c.length, 2u);
  c = decodeUtf8(text, 3);
  EXPECT_EQ(c.codePoint, U'\u20AC');
  EXPECT_EQ(c.length, 3u);
  c = decodeUtf8(text, 6);
  EXPECT_EQ(c.codePoint, U'\U0001F52B');
  EXPECT_EQ(c.length, 4u);
  c = decodeUtf8("\xF4\x90\x80\x80", 0);  // past U+10FFFF
  EXPECT_FALSE(c.valid);
  EXPECT_EQ(c.length, 1u);
}

}  // namespace
}  // namespace varnok::gunbook
