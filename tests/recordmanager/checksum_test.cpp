// Each entry's checksum is the CRC-32 of zip and PNG: the books written so
// far keep opening, and any tool can verify a book's checksums.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "book_test_support.h"

namespace varnok::rmtest {
namespace {

uint32_t crcOf(const std::string& text) {
  return zipCrc32(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(Checksum, ReferenceGivesTheKnownAnswers) {
  EXPECT_EQ(crcOf(""), 0u);
  EXPECT_EQ(crcOf("123456789"), 0xCBF43926u);
  EXPECT_EQ(crcOf("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
}

// Entries put in past the engine, each with the checksum the polynomial
// gives, as every book so far was written: the book opens with all of them.
TEST(Checksum, EntriesCheckedByThePolynomialOpen) {
  ScratchDir dir;
  const std::string path = dir.file("FILE3.DAT");
  makeBook(path, {entry("E-0", "20240101", "F", "S", 0)});
  std::vector<Record> expected{entry("E-0", "20240101", "F", "S", 0)};
  for (int i = 1; i <= 40; ++i) {
    const Record record = entry("E-" + std::to_string(i), "20240102", "F", "S", i);
    runSql(path, "INSERT INTO entries VALUES(" + std::to_string(10 + i) + ", " +
                     blobLiteral(record.data(), record.size()) + ", " +
                     std::to_string(zipCrc32(record.data(), record.size())) + ")");
    expected.push_back(record);
  }
  std::sort(expected.begin(), expected.end(),
            [](const Record& a, const Record& b) { return keyOf(a, 0) < keyOf(b, 0); });
  EXPECT_EQ(contents(path), expected);
}

}  // namespace
}  // namespace varnok::rmtest
