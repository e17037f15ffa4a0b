// Where the position stands after each operation: key order, duplicates,
// Delete, key-changing Update and start values below the blank.
#include <gtest/gtest.h>

#include <string>

#include "book_test_support.h"
#include "recordmanager/status.h"

namespace varnok::rmtest {
namespace {

namespace status = rm::status;

class Positioning : public ::testing::Test {
 protected:
  // The names met walking `key` from `start` with Get Greater or Equal and
  // Get Next.
  std::vector<std::string> walkFrom(int key, std::string_view start) {
    std::vector<Record> records;
    for (int16_t s = book.getGreaterOrEqual(key, start); s == 0; s = book.getNext(key))
      records.push_back(book.data);
    return field00s(records);
  }

  ScratchDir dir;
  std::string path = dir.file("FILE3.DAT");
  Book book;
};

using Names = std::vector<std::string>;

TEST_F(Positioning, DuplicatesComeInInsertionOrderAcrossSessions) {
  makeBook(path, {entry("A", "20240301", "X", "S2"), entry("B", "20240101", "Y", "S1"),
                  entry("C", "20240301", "X", "S2"), entry("D", "20240101", "X", "S1")});
  ASSERT_EQ(book.open(path), status::Success);
  ASSERT_EQ(book.insert(entry("0", "20240301", "X", "S1")), status::Success);
  ASSERT_EQ(book.close(), status::Success);
  ASSERT_EQ(book.open(path), status::Success);
  ASSERT_EQ(book.insert(entry("00", "20240101", "Y", "S2")), status::Success);

  EXPECT_EQ(field00s(book.walk(0)), (Names{"0", "00", "A", "B", "C", "D"}));
  EXPECT_EQ(field00s(book.walk(1)), (Names{"B", "D", "00", "A", "C", "0"}));
  EXPECT_EQ(field00s(book.walk(2)), (Names{"A", "C", "D", "0", "B", "00"}));
  EXPECT_EQ(field00s(book.walk(3)), (Names{"B", "D", "0", "A", "C", "00"}));
  // An Update that gives an entry the key of others keeps its insertion
  // place among them.
  ASSERT_EQ(book.getGreaterOrEqual(0, "00"), status::Success);
  ASSERT_EQ(book.update(entry("00", "20240301", "Y", "S2")), status::Success);
  EXPECT_EQ(field00s(book.walk(1)), (Names{"B", "D", "A", "C", "0", "00"}));
  ASSERT_EQ(book.close(), status::Success);

  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(field00s(book.walk(1)), (Names{"B", "D", "A", "C", "0", "00"}));
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Positioning, GetGreaterOrEqualFindsTheFirstAtOrPastTheStartValue) {
  makeBook(path, {entry("B", "20240101"), entry("D", "20240301"), entry("F", "20240301")});
  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(walkFrom(0, "D"), (Names{"D", "F"}));
  EXPECT_EQ(walkFrom(0, "C"), (Names{"D", "F"}));
  EXPECT_EQ(walkFrom(0, "A"), (Names{"B", "D", "F"}));
  EXPECT_EQ(walkFrom(0, "G"), Names{});
  EXPECT_EQ(walkFrom(1, "20240201"), (Names{"D", "F"}));
  EXPECT_EQ(walkFrom(1, "20240301"), (Names{"D", "F"}));
  EXPECT_EQ(walkFrom(1, "20240302"), Names{});
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Positioning, OrderIsBytewiseUnsigned) {
  makeBook(path, {entry("\xE9t\xE9"), entry("zoo"), entry("Zoo"), entry("a b"), entry("ab")});
  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(field00s(book.walk(0)), (Names{"Zoo", "a b", "ab", "zoo", "\xE9t\xE9"}));
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Positioning, BlankStartValueComesBeforeBytesBelowTheBlank) {
  const std::string nuls(15, '\0');
  makeBook(path, {entry("A", "20240101", "X", "MIDDLE"), entry("B", std::string(8, '\0'), "X", nuls),
                  entry("C", "        ", "X", "\x01\x01"), entry("D", "\x1F", "X", "")});
  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(walkFrom(3, ""), (Names{"B", "C", "D", "A"}));
  EXPECT_EQ(walkFrom(1, "        "), (Names{"B", "D", "C", "A"}));
  // Only all blanks means "from the first": other start values are bytes.
  EXPECT_EQ(walkFrom(3, "M"), Names{"A"});
  EXPECT_EQ(walkFrom(1, std::string("\x01", 1)), (Names{"D", "C", "A"}));
  // The key buffer gets the NUL-filled key as stored.
  ASSERT_EQ(book.getGreaterOrEqual(3), status::Success);
  EXPECT_EQ(std::string(book.key.begin(), book.key.begin() + 15), nuls);
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Positioning, DeleteKeepsItsPlaceForGetNext) {
  makeBook(path, {entry("A", "20240101"), entry("B", "20240102"), entry("C", "20240102"),
                  entry("D", "20240102"), entry("E", "20240103")});
  ASSERT_EQ(book.open(path), status::Success);
  ASSERT_EQ(book.getGreaterOrEqual(0, "B"), status::Success);
  ASSERT_EQ(book.remove(), status::Success);
  EXPECT_EQ(book.remove(), status::InvalidPositioning);
  EXPECT_EQ(book.update(entry("B")), status::InvalidPositioning);
  ASSERT_EQ(book.getNext(0), status::Success);
  EXPECT_EQ(keyOf(book.data, 0), keyOf(entry("C"), 0));

  // Among duplicates: the follower is the next one inserted.
  ASSERT_EQ(book.getGreaterOrEqual(1, "20240102"), status::Success);
  EXPECT_EQ(field00s({book.data}), Names{"C"});
  ASSERT_EQ(book.remove(), status::Success);
  ASSERT_EQ(book.getNext(1), status::Success);
  EXPECT_EQ(field00s({book.data}), Names{"D"});

  // Deleting the last entry leaves the position at the end.
  ASSERT_EQ(book.getGreaterOrEqual(0, "E"), status::Success);
  ASSERT_EQ(book.remove(), status::Success);
  EXPECT_EQ(book.getNext(0), status::EndOfFile);
  EXPECT_EQ(field00s(book.walk(0)), (Names{"A", "D"}));
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Positioning, DeletingEveryEntryInAWalkVisitsEachOnce) {
  std::vector<Record> records;
  for (int i = 0; i < 50; ++i) records.push_back(entry("E" + std::to_string(100 + i), "20240101"));
  makeBook(path, records);
  ASSERT_EQ(book.open(path), status::Success);
  int deleted = 0;
  for (int16_t s = book.getGreaterOrEqual(1, "20240101"); s == 0; s = book.getNext(1)) {
    ASSERT_EQ(book.remove(), status::Success);
    ++deleted;
  }
  EXPECT_EQ(deleted, 50);
  EXPECT_EQ(book.count(), 0);
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Positioning, UpdateOfTheWalkedKeyMovesThePositionWithTheEntry) {
  makeBook(path, {entry("A", "20240101"), entry("B", "20240102"), entry("C", "20240103"),
                  entry("D", "20240104"), entry("E", "20240105")});
  ASSERT_EQ(book.open(path), status::Success);
  // Forward: the walk goes on after the entry's new place, so the entries
  // it jumped over (C, D) are not visited. Among equal dates B keeps its
  // insertion place, before E.
  ASSERT_EQ(book.getGreaterOrEqual(1, "20240102"), status::Success);
  ASSERT_EQ(book.update(entry("B", "20240105")), status::Success);
  ASSERT_EQ(book.getNext(1), status::Success);
  EXPECT_EQ(field00s({book.data}), Names{"E"});

  // Backward: the walk goes on after the entry's new place, so it meets
  // again what it had passed.
  ASSERT_EQ(book.getGreaterOrEqual(1, "20240103"), status::Success);
  ASSERT_EQ(book.update(entry("C", "20240100")), status::Success);
  std::vector<Record> rest;
  for (int16_t s = book.getNext(1); s == 0; s = book.getNext(1)) rest.push_back(book.data);
  EXPECT_EQ(field00s(rest), (Names{"A", "D", "B", "E"}));

  // The updated entry stays current: it can be updated again, then deleted.
  ASSERT_EQ(book.getGreaterOrEqual(0, "E"), status::Success);
  ASSERT_EQ(book.update(entry("E", "20230101")), status::Success);
  ASSERT_EQ(book.update(entry("E2", "20230102", "Q")), status::Success);
  ASSERT_EQ(book.remove(), status::Success);
  EXPECT_EQ(walkFrom(1, ""), (Names{"C", "A", "D", "B"}));
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Positioning, UpdatingAnotherKeyWhileWalkingVisitsEachEntryOnce) {
  // As the new book rebase does: walk key 0 and give every entry one date.
  std::vector<Record> records;
  for (int i = 0; i < 60; ++i)
    records.push_back(entry("E" + std::to_string(100 + i), "2024" + std::to_string(1000 + i)));
  makeBook(path, records);
  ASSERT_EQ(book.open(path), status::Success);
  int visited = 0;
  for (int16_t s = book.getGreaterOrEqual(0); s == 0; s = book.getNext(0)) {
    Record changed = book.data;
    setKey(changed, 1, "20250630");
    ASSERT_EQ(book.update(changed), status::Success);
    ++visited;
  }
  EXPECT_EQ(visited, 60);
  EXPECT_EQ(walkFrom(1, "20250630").size(), 60u);
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Positioning, AKeyFirstUsedAfterChangesSeesThemAll) {
  // A session builds a key's order when it first needs that key: orders
  // taken up late must hold every change made before.
  makeBook(path, {entry("A", "20240101", "X3", "S3"), entry("B", "20240102", "X2", "S2"),
                  entry("C", "20240103", "X1", "S1")});
  ASSERT_EQ(book.open(path), status::Success);
  ASSERT_EQ(book.getGreaterOrEqual(1), status::Success);  // A
  // Field00 taken by another entry, while key 0's order is not yet made.
  EXPECT_EQ(book.update(entry("C", "20240101", "X3", "S3")), status::DuplicateKey);
  ASSERT_EQ(book.update(entry("A", "20240101", "X0", "S9")), status::Success);
  ASSERT_EQ(book.getNext(1), status::Success);  // B
  ASSERT_EQ(book.remove(), status::Success);
  ASSERT_EQ(book.insert(entry("D", "20240104", "X5", "S0"), 1), status::Success);
  ASSERT_EQ(book.getGreaterOrEqual(1, "20240103"), status::Success);  // C
  ASSERT_EQ(book.update(entry("0", "20240103", "X1", "S1")), status::Success);

  EXPECT_EQ(field00s(book.walk(0)), (Names{"0", "A", "D"}));
  EXPECT_EQ(field00s(book.walk(2)), (Names{"A", "0", "D"}));
  EXPECT_EQ(field00s(book.walk(3)), (Names{"D", "0", "A"}));
  EXPECT_EQ(book.insert(entry("A")), status::DuplicateKey);
  ASSERT_EQ(book.close(), status::Success);
  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(field00s(book.walk(3)), (Names{"D", "0", "A"}));
  EXPECT_EQ(book.close(), status::Success);
}

TEST_F(Positioning, InsertBecomesCurrentInTheGivenKey) {
  makeBook(path, {entry("A", "20240101"), entry("C", "20240301")});
  ASSERT_EQ(book.open(path), status::Success);
  ASSERT_EQ(book.insert(entry("B", "20240401"), 1), status::Success);
  EXPECT_EQ(book.getNext(0), status::DifferentKeyNumber);
  EXPECT_EQ(book.getNext(1), status::EndOfFile);
  ASSERT_EQ(book.insert(entry("0", "20240201"), 1), status::Success);
  ASSERT_EQ(book.getNext(1), status::Success);
  EXPECT_EQ(field00s({book.data}), Names{"C"});
  // A key number that is no key makes it current in key 0.
  ASSERT_EQ(book.insert(entry("AA", "20240501"), 9), status::Success);
  ASSERT_EQ(book.getNext(0), status::Success);
  EXPECT_EQ(field00s({book.data}), Names{"B"});
  // An Insert right after it may be deleted or updated at once.
  ASSERT_EQ(book.insert(entry("Z")), status::Success);
  ASSERT_EQ(book.remove(), status::Success);
  EXPECT_EQ(field00s(book.walk(0)), (Names{"0", "A", "AA", "B", "C"}));
  EXPECT_EQ(book.close(), status::Success);
}

}  // namespace
}  // namespace varnok::rmtest
