// Each entry's checksum is the CRC-32 of zip and PNG: the books written so
// far keep opening, and any tool can verify a book's checksums.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "book_test_support.h"
#include "recordmanager/checksum.h"

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

// The engine's fast checksum against the bit-by-bit reference: every
// length around the 16- and 64-byte steps it folds by, at every alignment.
TEST(Checksum, EngineAgreesWithTheReferenceAtEveryLengthAndAlignment) {
  std::mt19937 random(7);
  std::vector<uint8_t> bytes(1200);
  for (uint8_t& byte : bytes) byte = uint8_t(random());
  for (std::size_t length = 0; length <= 1100; ++length) {
    for (std::size_t at = 0; at < 16; ++at) {
      ASSERT_EQ(rm::zipCrc32(bytes.data() + at, length), zipCrc32(bytes.data() + at, length))
          << length << " bytes at " << at;
    }
  }
  const std::vector<uint8_t> ones(376, 0xFF);
  EXPECT_EQ(rm::zipCrc32(ones.data(), ones.size()), zipCrc32(ones.data(), ones.size()));
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
