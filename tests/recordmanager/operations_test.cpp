// Each operation of the book engine with the statuses it answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "book_test_support.h"
#include "recordmanager/status.h"

namespace varnok::rmtest {
namespace {

namespace op = rm::op;
namespace status = rm::status;

class Operations : public ::testing::Test {
 protected:
  ScratchDir dir;
  std::string path = dir.file("FILE3.DAT");
};

TEST_F(Operations, CreateMakesAnEmptyBookAndLeavesNothingOpen) {
  Book book;
  ASSERT_EQ(book.create(path), status::Success);
  EXPECT_EQ(dir.names(), std::set<std::string>{"FILE3.DAT"});
  // Create does not use the position block: it names no book afterwards.
  EXPECT_EQ(book.insert(entry("A")), status::FileNotOpen);

  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(book.count(), 0);
  EXPECT_EQ(book.getGreaterOrEqual(0), status::EndOfFile);
  EXPECT_EQ(book.close(), status::Success);
  EXPECT_EQ(dir.names(), std::set<std::string>{"FILE3.DAT"});
}

TEST_F(Operations, CreateRefusesAnythingAlreadyThereAndAMissingFolder) {
  makeBook(path, {entry("A")});
  const std::string before = fileBytes(path);
  Book book;
  EXPECT_EQ(book.create(path), status::FileExists);
  EXPECT_EQ(fileBytes(path), before);

  std::filesystem::create_directory(dir.file("folder"));
  EXPECT_EQ(book.create(dir.file("folder")), status::FileExists);
  EXPECT_EQ(book.create(dir.file("missing/FILE3.DAT")), status::FileNotFound);
  EXPECT_EQ(book.create(dir.file("FILE3.DAT/inner")), status::FileNotFound);
  EXPECT_EQ(book.create(""), status::InvalidFileName);
  // No half-made book or temporary file is left behind.
  EXPECT_EQ(dir.names(), (std::set<std::string>{"FILE3.DAT", "folder"}));
}

TEST_F(Operations, EntriesComeBackByteExactWithTheirKeyValue) {
  std::vector<Record> records;
  for (uint32_t i = 0; i < 20; ++i)
    records.push_back(entry("E" + std::to_string(100 + i), "2024010" + std::to_string(i % 10),
                            "F", "S", i * 17 + 3));
  makeBook(path, records);

  Book book;
  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(book.walk(0), records);
  // A Get writes the entry's key value at the start of the key buffer.
  ASSERT_EQ(book.getGreaterOrEqual(1, "20240105"), status::Success);
  EXPECT_EQ(std::string(book.key.begin(), book.key.begin() + 8), "20240105");
  EXPECT_EQ(keyOf(book.data, 0), keyOf(records[5], 0));
  ASSERT_EQ(book.getNext(1), status::Success);
  EXPECT_EQ(std::string(book.key.begin(), book.key.begin() + 8), "20240105");
  EXPECT_EQ(book.data, records[15]);
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Operations, GetTakesALargerBufferAndSetsTheLength) {
  makeBook(path, {entry("A")});
  Book book;
  ASSERT_EQ(book.open(path), status::Success);
  std::array<uint8_t, 500> big;
  big.fill(0xEE);
  uint16_t length = big.size();
  std::array<uint8_t, 255> key;
  key.fill(' ');
  ASSERT_EQ(rm::bookEngine().call(op::GetGreaterOrEqual, book.block.data(), big.data(), &length,
                                  key.data(), 255, 0),
            status::Success);
  EXPECT_EQ(length, rm::kRecordLength);
  const Record expected = entry("A");
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), big.begin()));
  EXPECT_EQ(big[rm::kRecordLength], 0xEE);
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Operations, InsertChecksLengthAndUniqueField00) {
  makeBook(path, {entry("A")});
  Book book;
  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(book.insert(entry("A", "20990101", "OTHER", "OTHER", 9)), status::DuplicateKey);
  for (uint16_t length : {uint16_t(0), uint16_t(375), uint16_t(377)}) {
    book.data = entry("B");
    book.dataLength = length;
    EXPECT_EQ(book.call(op::Insert), status::DataBufferLength) << length;
  }
  book.data = entry("B");
  EXPECT_EQ(rm::bookEngine().call(op::Insert, book.block.data(), book.data.data(), nullptr,
                                  book.key.data(), 255, 0),
            status::DataBufferLength);
  EXPECT_EQ(book.count(), 1);
  EXPECT_EQ(book.insert(entry("B")), status::Success);
  EXPECT_EQ(book.count(), 2);
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Operations, UpdateReplacesTheCurrentEntry) {
  makeBook(path, {entry("A"), entry("B"), entry("C")});
  Book book;
  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(book.update(entry("A", "20000101")), status::InvalidPositioning);  // nothing fetched

  ASSERT_EQ(book.getGreaterOrEqual(0, "B"), status::Success);
  EXPECT_EQ(book.update(entry("C", "20000101")), status::DuplicateKey);  // C is another entry
  book.dataLength = 100;
  EXPECT_EQ(book.call(op::Update), status::DataBufferLength);
  const Record changed = entry("B", "20000101", "NEW01", "NEW03", 42);
  EXPECT_EQ(book.update(changed), status::Success);
  EXPECT_EQ(book.update(entry("B2", "20000101", "NEW01", "NEW03", 42)), status::Success);
  EXPECT_EQ(book.close(), status::Success);

  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(field00s(book.walk(0)), (std::vector<std::string>{"A", "B2", "C"}));
  ASSERT_EQ(book.getGreaterOrEqual(0, "B2"), status::Success);
  EXPECT_EQ(book.data, entry("B2", "20000101", "NEW01", "NEW03", 42));
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Operations, DeleteRemovesTheCurrentEntryOnce) {
  makeBook(path, {entry("A"), entry("B"), entry("C")});
  Book book;
  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(book.remove(), status::InvalidPositioning);
  ASSERT_EQ(book.getGreaterOrEqual(0, "B"), status::Success);
  EXPECT_EQ(book.remove(), status::Success);
  EXPECT_EQ(book.count(), 2);
  EXPECT_EQ(book.remove(), status::InvalidPositioning);
  EXPECT_EQ(book.update(entry("B")), status::InvalidPositioning);
  EXPECT_EQ(book.close(), status::Success);

  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(field00s(book.walk(0)), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Operations, GetsCheckKeyNumberBuffersAndPosition) {
  makeBook(path, {entry("A"), entry("B")});
  Book book;
  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(book.getNext(0), status::InvalidPositioning);  // nothing fetched yet
  for (int bad : {-1, 4, 200}) {
    EXPECT_EQ(book.getGreaterOrEqual(bad), status::InvalidKeyNumber) << bad;
    EXPECT_EQ(book.getNext(bad), status::InvalidKeyNumber) << bad;
  }
  book.key.fill(' ');
  book.dataLength = 375;
  EXPECT_EQ(book.call(op::GetGreaterOrEqual, 0), status::DataBufferLength);
  // Key 0 needs 15 bytes of key buffer, key 1 only 8.
  uint16_t length = rm::kRecordLength;
  EXPECT_EQ(rm::bookEngine().call(op::GetGreaterOrEqual, book.block.data(), book.data.data(),
                                  &length, book.key.data(), 14, 0),
            status::KeyBufferTooShort);
  EXPECT_EQ(rm::bookEngine().call(op::GetGreaterOrEqual, book.block.data(), book.data.data(),
                                  &length, book.key.data(), 8, 1),
            status::Success);
  EXPECT_EQ(rm::bookEngine().call(op::GetNext, book.block.data(), nullptr, &length,
                                  book.key.data(), 255, 1),
            status::DataBufferLength);

  EXPECT_EQ(book.getNext(0), status::DifferentKeyNumber);  // positioned in key 1
  EXPECT_EQ(book.getNext(1), status::Success);
  EXPECT_EQ(book.getNext(1), status::EndOfFile);
  EXPECT_EQ(book.getNext(1), status::EndOfFile);
  EXPECT_EQ(book.getGreaterOrEqual(0, "ZZZ"), status::EndOfFile);
  EXPECT_EQ(book.getNext(0), status::EndOfFile);
  EXPECT_EQ(book.update(entry("Z")), status::InvalidPositioning);
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Operations, StatFillsItsBufferFromTheOpenSession) {
  makeBook(path, {entry("A"), entry("B")});
  Book book;
  ASSERT_EQ(book.open(path), status::Success);
  ASSERT_EQ(book.insert(entry("C")), status::Success);
  std::array<uint8_t, 300> stat;
  stat.fill(0xAA);
  uint16_t length = 210;
  ASSERT_EQ(rm::bookEngine().call(op::Stat, book.block.data(), stat.data(), &length,
                                  book.key.data(), 255, -1),
            status::Success);
  EXPECT_EQ(length, 210);
  EXPECT_EQ(stat[0] | stat[1] << 8, 376);
  EXPECT_EQ(stat[2] | stat[3] << 8, 4096);
  EXPECT_EQ(stat[4], 4);
  EXPECT_EQ(stat[5], 0);
  EXPECT_EQ(stat[6] | stat[7] << 8 | stat[8] << 16 | stat[9] << 24, 3);
  EXPECT_TRUE(std::all_of(stat.begin() + 10, stat.begin() + 210, [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(stat[210], 0xAA);  // nothing past the 210 bytes

  length = 209;
  EXPECT_EQ(rm::bookEngine().call(op::Stat, book.block.data(), stat.data(), &length,
                                  book.key.data(), 255, -1),
            status::DataBufferLength);
  EXPECT_EQ(rm::bookEngine().call(op::Stat, book.block.data(), nullptr, &length,
                                  book.key.data(), 255, -1),
            status::DataBufferLength);
  EXPECT_EQ(rm::bookEngine().call(op::Stat, book.block.data(), stat.data(), nullptr,
                                  book.key.data(), 255, -1),
            status::DataBufferLength);
  ASSERT_EQ(book.getGreaterOrEqual(0), status::Success);
  ASSERT_EQ(book.remove(), status::Success);
  EXPECT_EQ(book.count(), 2);
  EXPECT_EQ(book.discard(), status::Success);
}

TEST_F(Operations, CloseAndDiscardEndTheSession) {
  makeBook(path, {entry("A"), entry("B")});
  const std::string before = fileBytes(path);
  Book book;
  ASSERT_EQ(book.open(path), status::Success);
  ASSERT_EQ(book.insert(entry("C")), status::Success);
  ASSERT_EQ(book.getGreaterOrEqual(0, "A"), status::Success);
  ASSERT_EQ(book.update(entry("A", "19990101")), status::Success);
  ASSERT_EQ(book.getGreaterOrEqual(0, "B"), status::Success);
  ASSERT_EQ(book.remove(), status::Success);
  ASSERT_EQ(book.discard(), status::Success);
  EXPECT_EQ(fileBytes(path), before);
  EXPECT_EQ(dir.names(), std::set<std::string>{"FILE3.DAT"});
  // The block of an ended session names no book.
  EXPECT_EQ(book.getGreaterOrEqual(0), status::FileNotOpen);
  EXPECT_EQ(book.close(), status::FileNotOpen);
  EXPECT_EQ(book.discard(), status::FileNotOpen);

  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(book.walk(0), (std::vector<Record>{entry("A"), entry("B")}));
  ASSERT_EQ(book.insert(entry("C")), status::Success);
  ASSERT_EQ(book.close(), status::Success);
  for (uint16_t operation : {op::Insert, op::Update, op::Delete, op::GetNext, op::Stat, op::Close})
    EXPECT_EQ(book.call(operation), status::FileNotOpen) << operation;
  EXPECT_EQ(dir.names(), std::set<std::string>{"FILE3.DAT"});

  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(field00s(book.walk(0)), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Operations, MalformedCallsAnswerAStatus) {
  makeBook(path, {entry("A")});
  Book book;
  for (uint16_t operation : {uint16_t(5), uint16_t(7), uint16_t(13), uint16_t(99)})
    EXPECT_EQ(book.call(operation), status::InvalidOperation) << operation;
  EXPECT_EQ(book.getGreaterOrEqual(0), status::FileNotOpen);  // 128 blanks
  book.block.fill(0x5A);
  EXPECT_EQ(book.getGreaterOrEqual(0), status::FileNotOpen);  // garbage
  uint16_t length = rm::kRecordLength;
  EXPECT_EQ(rm::bookEngine().call(op::GetNext, nullptr, book.data.data(), &length,
                                  book.key.data(), 255, 0),
            status::FileNotOpen);
  EXPECT_EQ(rm::bookEngine().call(op::Open, nullptr, book.data.data(), &length,
                                  book.key.data(), 255, 0),
            status::FileNotOpen);
  EXPECT_EQ(rm::bookEngine().call(op::Open, book.block.data(), nullptr, nullptr, nullptr, 0, 0),
            status::InvalidFileName);
  EXPECT_EQ(book.open("   "), status::InvalidFileName);

  // A copy of a live block with its session id changed is refused too.
  ASSERT_EQ(book.open(path), status::Success);
  Book forged = book;
  forged.block[8] ^= 1;
  EXPECT_EQ(forged.getGreaterOrEqual(0), status::FileNotOpen);
  EXPECT_EQ(book.getGreaterOrEqual(0), status::Success);
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Operations, OpenOverABlockThatHoldsAnOpenBookIsRefused) {
  makeBook(path, {entry("A")});
  const std::string other = dir.file("other.dat");
  makeBook(other, {entry("X")});
  Book book;
  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(book.open(other), status::FileLocked);
  EXPECT_EQ(field00s(book.walk(0)), std::vector<std::string>{"A"});
  EXPECT_EQ(book.close(), status::Success);
  EXPECT_EQ(book.open(other), status::Success);
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Operations, PathsWithBlanksAndBackslashes) {
  std::filesystem::create_directory(dir.file("my books"));
  const std::string spaced = dir.file("my books/FILE3.DAT");
  Book book;
  ASSERT_EQ(book.create(spaced), status::Success);
  std::string backslashed = spaced;
  std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
  ASSERT_EQ(book.open(backslashed + "   "), status::Success);
  ASSERT_EQ(book.insert(entry("A")), status::Success);
  ASSERT_EQ(book.close(), status::Success);
  // Through the C entry point, which is the same engine.
  book.setKeyText(spaced + " ");
  uint16_t length = rm::kRecordLength;
  ASSERT_EQ(BTRCALL(op::Open, book.block.data(), book.data.data(), &length, book.key.data(), 255, 0),
            status::Success);
  EXPECT_EQ(field00s(book.walk(0)), std::vector<std::string>{"A"});
  EXPECT_EQ(BTRCALL(op::Close, book.block.data(), book.data.data(), &length, book.key.data(), 255, 0),
            status::Success);
}

TEST_F(Operations, TwoBooksOpenAtOnceStayApart) {
  const std::string second = dir.file("second.dat");
  makeBook(path, {entry("A"), entry("B")});
  makeBook(second, {entry("X")});
  Book old, fresh;
  ASSERT_EQ(old.open(path), status::Success);
  ASSERT_EQ(fresh.open(second), status::Success);
  ASSERT_EQ(old.getGreaterOrEqual(0), status::Success);
  ASSERT_EQ(fresh.insert(old.data), status::Success);
  ASSERT_EQ(old.getNext(0), status::Success);
  ASSERT_EQ(fresh.insert(old.data), status::Success);
  EXPECT_EQ(old.getNext(0), status::EndOfFile);
  EXPECT_EQ(old.count(), 2);
  EXPECT_EQ(fresh.count(), 3);
  ASSERT_EQ(old.close(), status::Success);
  ASSERT_EQ(fresh.close(), status::Success);
  ASSERT_EQ(fresh.open(second), status::Success);
  EXPECT_EQ(field00s(fresh.walk(0)), (std::vector<std::string>{"A", "B", "X"}));
  EXPECT_EQ(fresh.close(), status::Success);
}

}  // namespace
}  // namespace varnok::rmtest
