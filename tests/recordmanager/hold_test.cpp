// A hold keeps each book that a Close or Discard left unchanged open and
// locked, for the next Open of that file to take up as it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "book_lock.h"
#include "book_test_support.h"
#include "recordmanager/status.h"

namespace varnok::rmtest {
namespace {

namespace status = rm::status;

class Holds : public ::testing::Test {
 protected:
  bool lockedElsewhere() { return testing::lockedElsewhere(path); }

  ScratchDir dir;
  std::string path = dir.file("FILE3.DAT");
};

TEST_F(Holds, KeepTheBookLockedFromItsCheckedCloseToItsNextOpen) {
  makeBook(path, numberedEntries(40));
  const auto before = contents(path);
  const std::string bytes = fileBytes(path);
  ASSERT_EQ(link(path.c_str(), dir.file("alias.dat").c_str()), 0);
  {
    rm::BookHold hold;
    for (int16_t (Book::*end)() : {&Book::close, &Book::discard}) {
      Book check;
      ASSERT_EQ(check.open(path), status::Success);
      EXPECT_EQ(check.walk(0), before);
      ASSERT_EQ((check.*end)(), status::Success);
      EXPECT_EQ(check.getGreaterOrEqual(0), status::FileNotOpen);
      EXPECT_TRUE(lockedElsewhere());
      EXPECT_EQ(fileBytes(path), bytes);
    }

    // Another spelling of the same file takes the kept book up.
    Book pass;
    ASSERT_EQ(pass.open(dir.file("alias.dat")), status::Success);
    EXPECT_EQ(pass.walk(0), before);
    ASSERT_EQ(pass.insert(entry("NEW")), status::Success);
    ASSERT_EQ(pass.close(), status::Success);
    // Written and closed: no longer kept.
    EXPECT_FALSE(lockedElsewhere());
    EXPECT_EQ(contents(path).size(), before.size() + 1);

    Book again;
    ASSERT_EQ(again.open(path), status::Success);
    ASSERT_EQ(again.close(), status::Success);
    EXPECT_TRUE(lockedElsewhere());
  }
  EXPECT_FALSE(lockedElsewhere());
}

TEST_F(Holds, KeepNoChangedSessionAndNoFileThatIsNoLongerThere) {
  makeBook(path, numberedEntries(10));
  const std::string other = dir.file("other.dat");
  makeBook(other, numberedEntries(3));
  const std::string bytes = fileBytes(path);
  rm::BookHold hold;

  Book changed;
  ASSERT_EQ(changed.open(path), status::Success);
  ASSERT_EQ(changed.insert(entry("DROPPED")), status::Success);
  ASSERT_EQ(changed.discard(), status::Success);
  EXPECT_EQ(fileBytes(path), bytes);
  EXPECT_FALSE(lockedElsewhere());

  // A kept book whose path now names another file: the Open reads that file.
  Book kept;
  ASSERT_EQ(kept.open(path), status::Success);
  ASSERT_EQ(kept.close(), status::Success);
  ASSERT_EQ(std::rename(other.c_str(), path.c_str()), 0);
  Book replaced;
  ASSERT_EQ(replaced.open(path), status::Success);
  EXPECT_EQ(replaced.walk(0), numberedEntries(3));
  ASSERT_EQ(replaced.discard(), status::Success);
}

}  // namespace
}  // namespace varnok::rmtest
