// Sessions are atomic and exclusive: a process that dies before Close leaves
// the book as it was at Open, a Close makes everything durable at once, and a
// book open in one place is refused everywhere else.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <string>
#include <vector>

#include "book_lock.h"
#include "book_test_support.h"
#include "recordmanager/status.h"

namespace varnok::rmtest {
namespace {

namespace status = rm::status;

class Sessions : public ::testing::Test {
 protected:
  ScratchDir dir;
  std::string path = dir.file("FILE3.DAT");
};

enum class Ending { Killed, ExitWithoutClose, Closed };

const char* nameOf(Ending ending) {
  switch (ending) {
    case Ending::Killed: return "Killed";
    case Ending::ExitWithoutClose: return "ExitWithoutClose";
    case Ending::Closed: return "Closed";
  }
  return "?";
}
void PrintTo(Ending ending, std::ostream* out) { *out << nameOf(ending); }

class ChildSession : public Sessions, public ::testing::WithParamInterface<Ending> {};

TEST_P(ChildSession, EndsAsAWholeOrNotAtAll) {
  makeBook(path, numberedEntries(300));
  const std::string before = fileBytes(path);
  const auto atOpen = contents(path);

  // What the changes give when they are closed, made on a copy in this
  // process.
  const std::string copy = dir.file("copy.dat");
  writeBytes(copy, before);
  Book reference;
  ASSERT_EQ(reference.open(copy), status::Success);
  ASSERT_TRUE(changeEverything(reference));
  ASSERT_EQ(reference.close(), status::Success);
  const auto afterClose = contents(copy);
  std::filesystem::remove(copy);

  Pipe ready;
  const Ending ending = GetParam();
  ChildProcess child([&] {
    Book book;
    if (book.open(path) != 0 || !changeEverything(book)) return 1;
    if (ending == Ending::Closed && book.close() != 0) return 2;
    ready.send('r');
    if (ending != Ending::Killed) return 0;
    for (;;) pause();
  });
  ASSERT_EQ(ready.receive(), 'r');
  if (ending == Ending::Killed) child.kill(SIGKILL);
  const ChildEnd end = child.wait();
  if (ending == Ending::Killed) {
    EXPECT_EQ(end.signal, SIGKILL) << end;
  } else {
    EXPECT_TRUE(end.exited && end.exitStatus == 0) << end;
  }

  EXPECT_EQ(dir.names(), std::set<std::string>{"FILE3.DAT"});
  EXPECT_EQ(integrityCheck(path), "ok");
  if (ending == Ending::Closed) {
    EXPECT_EQ(contents(path), afterClose);
  } else {
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_EQ(contents(path), atOpen);
  }
}

INSTANTIATE_TEST_SUITE_P(Endings, ChildSession,
                         ::testing::Values(Ending::Killed, Ending::ExitWithoutClose, Ending::Closed),
                         [](const auto& info) { return std::string(nameOf(info.param)); });

TEST_F(Sessions, AKillDuringCloseLeavesOneWholeSession) {
  // A child rewrites every entry's Field02 with its round number and closes,
  // over and over, and is killed at a different moment each time, often in
  // the middle of a commit. Whatever it had reached, every entry must carry
  // the same round.
  constexpr int kEntries = 3000;
  makeBook(path, numberedEntries(kEntries));
  for (int attempt = 0; attempt < 8; ++attempt) {
    Pipe progress;
    ChildProcess child([&] {
      for (int round = 0;; ++round) {
        Book book;
        if (book.open(path) != 0) return 1;
        for (int16_t s = book.getGreaterOrEqual(0); s == 0; s = book.getNext(0)) {
          Record changed = book.data;
          const std::string tag = std::to_string(attempt * 1000 + round) + "        ";
          std::memcpy(changed.data() + 27, tag.data(), 8);
          if (book.update(changed) != 0) return 2;
        }
        if (book.close() != 0) return 3;
        progress.send('c');
      }
    });
    ASSERT_EQ(progress.receive(), 'c');
    usleep(useconds_t(1000 + attempt * 7000));
    child.kill(SIGKILL);
    const ChildEnd end = child.wait();
    ASSERT_FALSE(end.exited) << "the child stopped by itself: " << end;

    const auto records = contents(path);
    ASSERT_EQ(records.size(), std::size_t(kEntries));
    const std::string first(records[0].begin() + 27, records[0].begin() + 35);
    for (const auto& record : records)
      ASSERT_EQ(std::string(record.begin() + 27, record.begin() + 35), first);
    EXPECT_EQ(integrityCheck(path), "ok");
    EXPECT_EQ(dir.names(), std::set<std::string>{"FILE3.DAT"});
  }
}

TEST_F(Sessions, AFailedCloseKeepsTheSessionForAnotherTry) {
  makeBook(path, numberedEntries(10));
  const std::string before = fileBytes(path);
  // In a child, where a file size limit makes the commit fail as a full
  // disk would.
  const int code = runInChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    Book book;
    if (book.open(path) != 0) return 10;
    for (int n = 0; n < 3000; ++n)
      if (book.insert(entry("NEW" + std::to_string(n), "20250701", "F", "S", n)) != 0) return 11;
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit unlimited = limit;
    limit.rlim_cur = before.size() + 8192;
    setrlimit(RLIMIT_FSIZE, &limit);
    const int16_t failed = book.close();
    if (failed != status::DiskFull && failed != status::IoError) return 100 + failed;
    if (fileBytes(path) != before) return 12;
    if (book.count() != 3010) return 13;  // the session and its changes are still there
    setrlimit(RLIMIT_FSIZE, &unlimited);
    return book.close() == 0 ? 0 : 14;
  }).exitStatus;
  ASSERT_EQ(code, 0);
  EXPECT_EQ(contents(path).size(), 3010u);
  EXPECT_EQ(integrityCheck(path), "ok");
  EXPECT_EQ(dir.names(), std::set<std::string>{"FILE3.DAT"});
}

// An observer that keeps what it hears, and answers `committing` with
// `verdict`, looking at the file as it is then.
struct Listener final : rm::BookObserver {
  struct Heard {
    const void* block;
    std::string before, after;  // empty for none
  };
  std::vector<Heard> heard;
  int16_t verdict = status::Success;
  std::string path;
  std::vector<std::string> fileWhenAsked;

  static std::string bytes(const uint8_t* record) {
    return record ? std::string(reinterpret_cast<const char*>(record), rm::kRecordLength)
                  : std::string();
  }
  void changed(const void* block, const uint8_t* before, const uint8_t* after) noexcept override {
    heard.push_back({block, bytes(before), bytes(after)});
  }
  int16_t committing(const void*) override {
    fileWhenAsked.push_back(fileBytes(path));
    return verdict;
  }
};

// The observer hears each change made, with the entry before and after,
// and nothing of a change refused; the innermost registration alone.
TEST_F(Sessions, TheObserverHearsEachChangeWithTheEntryBeforeAndAfter) {
  makeBook(path, {entry("A"), entry("B")});
  Book book;
  ASSERT_EQ(book.open(path), status::Success);
  Listener outer, listener;
  const rm::BookObservation outerObservation(outer);
  const rm::BookObservation observation(listener);
  const auto asText = [](const Record& record) {
    return std::string(reinterpret_cast<const char*>(record.data()), record.size());
  };
  ASSERT_EQ(book.insert(entry("C")), status::Success);
  EXPECT_EQ(book.insert(entry("A")), status::DuplicateKey);
  ASSERT_EQ(book.getGreaterOrEqual(0, "A"), status::Success);
  const Record a = book.data;
  Record changed = a;
  changed[100] = 'X';
  ASSERT_EQ(book.update(changed), status::Success);
  ASSERT_EQ(book.remove(), status::Success);
  EXPECT_EQ(book.remove(), status::InvalidPositioning);
  const auto& heard = listener.heard;
  ASSERT_EQ(heard.size(), 3u);
  EXPECT_EQ(heard[0].block, book.block.data());
  EXPECT_EQ(heard[0].before, "");
  EXPECT_EQ(heard[0].after, asText(entry("C")));
  EXPECT_EQ(heard[1].before, asText(a));
  EXPECT_EQ(heard[1].after, asText(changed));
  EXPECT_EQ(heard[2].before, asText(changed));
  EXPECT_EQ(heard[2].after, "");
  EXPECT_TRUE(outer.heard.empty());
  EXPECT_EQ(book.discard(), status::Success);
}

// A Close that writes asks the observer before its changes are durable,
// and a refusal keeps the book open with its changes and the file as it
// was; a Close that writes nothing does not ask.
TEST_F(Sessions, TheObserverIsAskedBeforeTheChangesAreDurableAndMayRefuseThem) {
  makeBook(path, numberedEntries(10));
  const std::string before = fileBytes(path);
  Listener listener;
  listener.path = path;
  listener.verdict = 191;
  const rm::BookObservation observation(listener);
  Book book;
  ASSERT_EQ(book.open(path), status::Success);
  ASSERT_EQ(book.insert(entry("NEW")), status::Success);
  EXPECT_EQ(book.close(), 191);
  ASSERT_EQ(listener.fileWhenAsked.size(), 1u);
  EXPECT_EQ(listener.fileWhenAsked[0], before);  // nothing durable yet when asked
  EXPECT_EQ(fileBytes(path), before);
  EXPECT_EQ(book.count(), 11);  // still open, with its change
  listener.verdict = status::Success;
  EXPECT_EQ(book.close(), status::Success);
  EXPECT_EQ(listener.fileWhenAsked.size(), 2u);
  EXPECT_EQ(contents(path).size(), 11u);
  EXPECT_EQ(integrityCheck(path), "ok");

  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(book.close(), status::Success);
  EXPECT_EQ(listener.fileWhenAsked.size(), 2u);
}

// The engine copies and hashes a book through its own handles: the bytes
// are the file's, and the session's lock stays in place throughout, also
// for a hash by path while the session holds the book.
TEST_F(Sessions, ABookIsCopiedAndHashedThroughTheEngineWithItsLockKept) {
  makeBook(path, numberedEntries(2000));
  const std::string bytes = fileBytes(path);
  Book book;
  ASSERT_EQ(book.open(path), status::Success);
  const std::string copy = dir.file("copy");
  const int out = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(out, 0);
  uint64_t copied = 0;
  int error = -1;
  EXPECT_EQ(rm::copyOpenBook(book.block.data(), out, copied, error), status::Success);
  ::close(out);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(copied, bytes.size());
  EXPECT_EQ(fileBytes(copy), bytes);
  std::string open, byPath, ofCopy;
  EXPECT_EQ(rm::openBookSha256(book.block.data(), open), status::Success);
  EXPECT_EQ(rm::bookFileSha256(path, byPath), status::Success);
  EXPECT_EQ(rm::bookFileSha256(copy, ofCopy), status::Success);
  EXPECT_EQ(open.size(), 64u);
  EXPECT_EQ(byPath, open);
  EXPECT_EQ(ofCopy, open);
  EXPECT_TRUE(testing::lockedElsewhere(path));
  ASSERT_EQ(book.insert(entry("NEW")), status::Success);
  ASSERT_EQ(book.close(), status::Success);
  EXPECT_FALSE(testing::lockedElsewhere(path));

  EXPECT_EQ(rm::openBookSha256(book.block.data(), open), status::FileNotOpen);
  EXPECT_EQ(rm::copyOpenBook(book.block.data(), 1, copied, error), status::FileNotOpen);
  EXPECT_EQ(rm::bookFileSha256(dir.file("missing"), byPath), status::FileNotFound);
  const int full = ::open("/dev/full", O_WRONLY);
  if (full >= 0) {
    ASSERT_EQ(book.open(path), status::Success);
    EXPECT_EQ(rm::copyOpenBook(book.block.data(), full, copied, error), status::IoError);
    EXPECT_EQ(error, ENOSPC);
    ::close(full);
    EXPECT_EQ(book.discard(), status::Success);
  }
}

TEST_F(Sessions, ASecondOpenOfAnOpenBookInThisProcessIsRefused) {
  makeBook(path, {entry("A")});
  ASSERT_EQ(link(path.c_str(), dir.file("alias.dat").c_str()), 0);
  std::string backslashed = path;
  std::replace(backslashed.begin(), backslashed.end(), '/', '\\');

  Book first, second;
  ASSERT_EQ(first.open(path), status::Success);
  for (const std::string& spelling : {path, backslashed, dir.path().string() + "/./FILE3.DAT",
                                      dir.file("alias.dat")})
    EXPECT_EQ(second.open(spelling), status::FileLocked) << spelling;
  ASSERT_EQ(first.insert(entry("B")), status::Success);
  ASSERT_EQ(first.close(), status::Success);

  ASSERT_EQ(second.open(path), status::Success);
  EXPECT_EQ(field00s(second.walk(0)), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(second.close(), status::Success);
}

TEST_F(Sessions, ABookHeldByAnotherProcessIsLockedOut) {
  makeBook(path, {entry("A")});
  Pipe opened, finish;
  ChildProcess child([&] {
    Book book;
    const int16_t result = book.open(path);
    opened.send(char(result));
    if (result != 0) return 1;
    finish.receive();
    return book.insert(entry("B")) == 0 && book.close() == 0 ? 0 : 2;
  });
  ASSERT_EQ(opened.receive(), 0);
  const std::string before = fileBytes(path);
  Book book;
  EXPECT_EQ(book.open(path), status::FileLocked);
  EXPECT_EQ(fileBytes(path), before);
  EXPECT_EQ(book.getGreaterOrEqual(0), status::FileNotOpen);

  finish.send('f');
  const ChildEnd end = child.wait();
  ASSERT_TRUE(end.exited && end.exitStatus == 0) << end;
  ASSERT_EQ(book.open(path), status::Success);
  EXPECT_EQ(field00s(book.walk(0)), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(book.close(), status::Success);
}

}  // namespace
}  // namespace varnok::rmtest
