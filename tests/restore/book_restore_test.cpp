// Putting a backup back as a book, through the book engine.
#include "restore/book_restore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "book_fixture.h"
#include "child_process.h"
#include "report/summary.h"
#include "reportfolder/file_copy.h"
#include "scratch_dir.h"

namespace varnok::restore {
namespace {

namespace fs = std::filesystem;
using testing::fileBytes;
using testing::gun;
using testing::ScratchDir;

class Restore : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = scratch.folder("book");
    testing::makeBook(folder, {gun("CURRENT-1", "20250101", "", "PAWN")});
    testing::makeBook(scratch.folder("saved"), {gun("SAVED-0000001", "20240101", "", "PAWN"),
                                                gun("SAVED-0000002", "20240102", "", "SALE")});
    backup = scratch.path() / "backup.DAT";
    fs::copy_file(scratch.path() / "saved" / "FILE3.DAT", backup);
    before = fileBytes(book());
  }

  fs::path book() const { return scratch.path() / "book" / "FILE3.DAT"; }
  ToolOutcome restore(const fs::path& from, RestoreOptions options = {}) {
    return restoreBook(rm::bookEngine(), folder, from, reports, std::chrono::system_clock::now(),
                       restored, options);
  }
  // The backup as a run's report folder holds it: "<role>-FILE3.DAT" beside
  // the summary a run writes, which names it as the backup of `book` with
  // the SHA-256 `sha256`.
  fs::path inRunReport(const std::string& role, const fs::path& book, const std::string& sha256) {
    const fs::path run = scratch.folder("run"), kept = run / (role + "-FILE3.DAT");
    fs::copy_file(backup, kept, fs::copy_options::overwrite_existing);
    std::vector<report::BookRecord> books{report::BookRecord{role, book.string()}};
    books[0].opened = true;
    books[0].backups.push_back(reportfolder::CopiedFile{kept, sha256});
    const std::string inputs = "  run: conversion (convert)\n", outcome = "ran to its end", none;
    const std::vector<std::string> problems, cutModels;
    const auto now = std::chrono::system_clock::now();
    testing::writeBytes(run / "summary.txt",
                        report::summaryText({"convert", false, inputs, now, now, true, outcome, 0,
                                             books, 0, problems, none, cutModels}));
    return kept;
  }
  // A refusal that left the book, the backup and the reports alone.
  void expectRefused(const ToolOutcome& outcome, const std::string& what,
                     const std::string& backupBytes) {
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.problem.find(what), std::string::npos) << outcome.problem;
    EXPECT_EQ(fileBytes(book()), before);
    EXPECT_EQ(fileBytes(backup), backupBytes);
    EXPECT_FALSE(fs::exists(reports));
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path() / "book"), {}), 1);
  }

  ScratchDir scratch;
  std::string folder;
  fs::path backup, reports = scratch.path() / "reports";
  std::string before;
  RestoredBook restored;
};

TEST_F(Restore, PutsTheBackupsBytesBackAndKeepsTheReplacedBook) {
  const std::string saved = fileBytes(backup);
  const ToolOutcome outcome = restore(backup);
  ASSERT_TRUE(outcome.ok) << outcome.problem;
  EXPECT_EQ(fileBytes(book()), saved);
  EXPECT_EQ(testing::readBook(folder)[1].Field00, "SAVED-0000002");
  EXPECT_EQ(restored.restoredSha256, reportfolder::sha256OfFile(backup));

  EXPECT_EQ(restored.reportFolder.parent_path(), reports);
  EXPECT_EQ(restored.keptBook, restored.reportFolder / "replaced-FILE3.DAT");
  EXPECT_EQ(fileBytes(restored.keptBook), before);
  EXPECT_EQ(restored.replacedSha256, reportfolder::sha256OfFile(restored.keptBook));
  const std::string summary = fileBytes(restored.reportFolder / "summary.txt");
  EXPECT_EQ(fs::status(restored.reportFolder / "summary.txt").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  for (const std::string& named : {book().string(), backup.string(), restored.keptBook.string(),
                                   restored.restoredSha256, restored.replacedSha256})
    EXPECT_NE(summary.find(named), std::string::npos) << named << "\n" << summary;
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path() / "book"), {}), 1);
}

TEST_F(Restore, RefusesADamagedOrForeignBackupAndChangesNothing) {
  const std::string saved = fileBytes(backup);
  const std::size_t entry = saved.find("SAVED-0000002");
  ASSERT_NE(entry, std::string::npos);
  struct Case {
    const char* name;
    std::function<std::string(std::string)> damage;
    const char* says;
  };
  const Case cases[] = {
      {"an entry's byte changed",
       [&](std::string b) {
         b[entry + 7] ^= 0x01;
         return b;
       },
       "(status 2)"},
      {"its magic changed",
       [](std::string b) {
         b[0] = 'X';
         return b;
       },
       "(status 30)"},
      {"cut short", [](std::string b) { return b.substr(0, b.size() - 1000); }, "(status 2)"},
      {"a text file", [](std::string) { return std::string("Field00,Field01\r\n"); },
       "(status 30)"},
      {"empty", [](std::string) { return std::string(); }, "(status 30)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string damaged = c.damage(saved);
    testing::writeBytes(backup, damaged);
    expectRefused(restore(backup), c.says, damaged);
  }
  expectRefused(restore(scratch.path() / "none.DAT"), "none.DAT not found", fileBytes(backup));
}

TEST_F(Restore, RefusesABookInUseAReportFolderInsideTheBookAndAMissingFolder) {
  const std::string saved = fileBytes(backup);
  gunbook::BookCursor holder;
  holder.KeyBuffer = gunbook::bookFileKey(folder);
  ASSERT_EQ(holder.call(rm::bookEngine(), rm::op::Open), 0);
  expectRefused(restore(backup), "(status 85)", saved);
  holder.call(rm::bookEngine(), rm::op::Discard);

  // Open in another process, and emptied on disk since: still in use.
  testing::Pipe opened;
  testing::ChildProcess child([&] {
    if (holder.call(rm::bookEngine(), rm::op::Open) != 0) return 1;
    opened.send('o');
    for (;;) pause();
  });
  ASSERT_EQ(opened.receive(), 'o');
  testing::writeBytes(book(), "");
  before = "";
  expectRefused(restore(backup), "book open elsewhere (status 85)", saved);
  child.kill(SIGKILL);
  child.wait();

  reports = scratch.path() / "book" / "reports";
  expectRefused(restore(backup), "inside the book's folder", saved);
  reports = scratch.path() / "reports";

  folder = (scratch.path() / "no such book").string();
  const std::string problem = restore(backup).problem;
  EXPECT_NE(problem.find("no such book does not exist; nothing restored"), std::string::npos)
      << problem;
  EXPECT_FALSE(fs::exists(reports));
}

TEST_F(Restore, RestoresADamagedEmptyOrMissingBookKeepingWhatItReplaces) {
  const std::string saved = fileBytes(backup);
  std::string damaged = before;
  damaged[damaged.find("CURRENT-1") + 3] ^= 0x01;
  const struct {
    const char* name;
    std::optional<std::string> bytes;  // none: no book file
    const char* says;
  } cases[] = {{"damaged", damaged, "(status 2)"},
               {"empty", "", "(status 30)"},
               {"a text file", "not a book\n", "(status 30)"},
               {"missing", std::nullopt, "none: there was no book file"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.bytes)
      testing::writeBytes(book(), *c.bytes);
    else
      fs::remove(book());
    const ToolOutcome outcome = restore(backup);
    ASSERT_TRUE(outcome.ok) << outcome.problem;
    EXPECT_EQ(fileBytes(book()), saved);
    EXPECT_EQ(testing::readBook(folder).size(), 2u);
    EXPECT_EQ(restored.keptBook.empty(), !c.bytes);
    if (c.bytes) {
      EXPECT_EQ(fileBytes(restored.keptBook), *c.bytes);
    }
    EXPECT_NE(fileBytes(restored.reportFolder / "summary.txt").find(c.says), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path() / "book"), {}), 1);
  }
}

TEST_F(Restore, KeepsTheOwnerGroupAndModeAndRestoresALinkedBookIntoItsTarget) {
  const std::string saved = fileBytes(backup);
  ASSERT_EQ(::chown(book().c_str(), 12345, 12346), 0);
  ASSERT_EQ(::chmod(book().c_str(), 0640), 0);
  const fs::path real = scratch.folder("real");
  fs::rename(book(), real / "FILE3.DAT");
  fs::create_symlink(real / "FILE3.DAT", book());

  ASSERT_TRUE(restore(backup).ok);
  EXPECT_TRUE(fs::is_symlink(book()));
  EXPECT_EQ(fileBytes(real / "FILE3.DAT"), saved);
  EXPECT_EQ(fileBytes(restored.keptBook), before);
  struct stat st;
  ASSERT_EQ(::stat((real / "FILE3.DAT").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 12345u);
  EXPECT_EQ(st.st_gid, 12346u);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(std::distance(fs::directory_iterator(real), {}), 1);
}

TEST_F(Restore, ChecksABackupInAReportFolderAgainstItsSummary) {
  const std::string saved = fileBytes(backup), sha256 = reportfolder::sha256OfFile(backup);
  const fs::path other = scratch.path() / "other" / "FILE3.DAT";

  ASSERT_TRUE(restore(inRunReport("old", book(), sha256)).ok);
  EXPECT_EQ(fileBytes(book()), saved);
  EXPECT_NE(restored.origin.find("the old book " + book().string()), std::string::npos);
  testing::writeBytes(book(), before);
  fs::remove_all(reports);

  const fs::path fromNew = inRunReport("new", other, sha256);
  expectRefused(restore(fromNew),
                "is a backup of the new book " + other.string() + " (so says " +
                    (fromNew.parent_path() / "summary.txt").string() + "), not of " +
                    book().string() + "; give --other-book",
                saved);
  ASSERT_TRUE(restore(fromNew, {.otherBook = true}).ok);
  testing::writeBytes(book(), before);
  fs::remove_all(reports);

  // A sound book, but not the one the run kept.
  const fs::path doctored = inRunReport("old", book(), std::string(64, 'a'));
  expectRefused(restore(doctored),
                "its SHA-256 is " + sha256 + ", but " +
                    (doctored.parent_path() / "summary.txt").string() + " says " +
                    std::string(64, 'a'),
                saved);
  const struct {
    const char* summary;
    const char* says;
  } unreadable[] = {{"notes\n", "is not a Varnok report's summary"},
                    {"Varnok report: convert\n\nBooks\n  old book: /b/FILE3.DAT\n"
                     "    backup: new-FILE3.DAT, SHA-256 0\n",
                     "does not name old-FILE3.DAT as a book's backup"},
                    {"Varnok report: convert\n\nBooks\n  old book: /b/FILE3.DAT\n"
                     "    backup: old-FILE3.DAT, SHA-256 not worked out yet\n",
                     "gives no SHA-256 for old-FILE3.DAT (it says \"not worked out yet\")"}};
  for (const auto& c : unreadable) {
    SCOPED_TRACE(c.summary);
    testing::writeBytes(doctored.parent_path() / "summary.txt", c.summary);
    expectRefused(restore(doctored), c.says, saved);
  }
}

}  // namespace
}  // namespace varnok::restore
