// Putting a backup back as a book, through the book engine.
#include "report/book_restore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "book_fixture.h"
#include "scratch_dir.h"
#include "report/file_copy.h"

namespace varnok::report {
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
  ToolOutcome restore(const fs::path& from) {
    return restoreBook(rm::bookEngine(), folder, from, reports, std::chrono::system_clock::now(),
                       restored);
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
  EXPECT_EQ(restored.restoredSha256, report::sha256OfFile(backup));

  EXPECT_EQ(restored.reportFolder.parent_path(), reports);
  EXPECT_EQ(restored.keptBook, restored.reportFolder / "replaced-FILE3.DAT");
  EXPECT_EQ(fileBytes(restored.keptBook), before);
  EXPECT_EQ(restored.replacedSha256, report::sha256OfFile(restored.keptBook));
  const std::string summary = fileBytes(restored.reportFolder / "summary.txt");
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
      {"an entry's byte changed", [&](std::string b) { b[entry + 7] ^= 0x01; return b; },
       "(status 2)"},
      {"its magic changed", [](std::string b) { b[0] = 'X'; return b; }, "(status 30)"},
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

TEST_F(Restore, RefusesABookInUseOrMissingAndAReportFolderInsideTheBook) {
  const std::string saved = fileBytes(backup);
  gunbook::BookCursor holder;
  holder.KeyBuffer = gunbook::bookFileKey(folder);
  ASSERT_EQ(holder.call(rm::bookEngine(), rm::op::Open), 0);
  expectRefused(restore(backup), "(status 85)", saved);
  holder.call(rm::bookEngine(), rm::op::Discard);

  reports = scratch.path() / "book" / "reports";
  expectRefused(restore(backup), "inside the book's folder", saved);
  reports = scratch.path() / "reports";

  folder = (scratch.path() / "no such book").string();
  EXPECT_NE(restore(backup).problem.find("no such book/FILE3.DAT: cannot open: file not found"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(reports));
}

}  // namespace
}  // namespace varnok::report
