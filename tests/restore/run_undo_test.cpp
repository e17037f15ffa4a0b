// The report history: which earlier conversion left a pair of books, and
// the undo of a whole run from its backups, both books or neither.
#include "restore/run_undo.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <stdexcept>

#include "book_fixture.h"
#include "child_process.h"
#include "reportfolder/file_copy.h"
#include "reportfolder/run_history.h"
#include "reportfolder/run_ledger.h"
#include "restore/run_recovery.h"
#include "run_summary.h"
#include "scratch_dir.h"

namespace varnok::restore {
namespace {

namespace fs = std::filesystem;
using testing::bookBytes;
using testing::fileBytes;
using testing::gun;
using testing::writeRunSummary;

const std::string kA(64, 'a'), kB(64, 'b'), kC(64, 'c'), kX(64, 'e'), kY(64, 'f');

TEST(RunHistory, FindsOnlyAFinishedConversionOnTheDateThatLeftBothBooks) {
  const testing::ScratchDir scratch;
  const fs::path reports = scratch.path();
  const auto book = [](const char* role, std::string before, std::string after) {
    return testing::SummaryBookLines{
        role, std::string("/shop/") + role + "/FILE3.DAT", before, after, "", ""};
  };
  const std::string done = "ran to its end", date = "03/15/2004";
  writeRunSummary(reports / "2026-12-01-090000-convert", "convert", done, date,
                  {book("old", kX, kA), book("new", kY, kB)});
  writeRunSummary(reports / "2026-12-02-090000-preview", "preview", done, date,
                  {book("old", kX, kA), book("new", kY, kB)});
  writeRunSummary(reports / "2026-12-03-090000-convert", "convert", "declined: ...", date,
                  {book("old", kA, kA), book("new", kB, kB)});
  writeRunSummary(reports / "2026-12-04-090000-convert", "convert", done, "03/16/2004",
                  {book("old", kX, kA), book("new", kY, kB)});
  writeRunSummary(reports / "2026-12-05-090000-convert", "convert", done, date,
                  {book("old", kX, kA), book("new", kY, kC)});
  writeRunSummary(reports / "2026-12-06-090000-convert", "convert", "", date,
                  {book("old", kX, kA), book("new", kY, kB)});  // cut short
  const auto hashes = [](std::string o, std::string n) {
    return [o, n] { return std::pair{o, n}; };
  };
  EXPECT_EQ(reportfolder::conversionThatLeft(reports, date, hashes(kA, kB)),
            reports / "2026-12-01-090000-convert");
  EXPECT_EQ(reportfolder::conversionThatLeft(reports, date, hashes(kA, kC)),
            reports / "2026-12-05-090000-convert");
  EXPECT_EQ(reportfolder::conversionThatLeft(reports, date, hashes(kB, kA)), fs::path());
  EXPECT_EQ(reportfolder::conversionThatLeft(reports, date, hashes(kX, kY)), fs::path());
  EXPECT_EQ(reportfolder::conversionThatLeft(reports, date, hashes(kA, kB),
                                             reports / "2026-12-01-090000-convert"),
            fs::path());
}

// A run's report folder, made by hand: the books before the run kept as
// its backups, the books as the run left them in their folders.
class Undo : public ::testing::Test {
 public:
  void SetUp() override {
    testing::makeBook(oldFolder,
                      {gun("O1", "20040101", "", "PAWN"), gun("O2", "20040401", "", "SALE")});
    testing::makeBook(
        newFolder, {gun("N1", "20040101", "", "PAWN"), gun("N2", "20040101", "20040102", "SOLD")});
    oldBefore = bookBytes(oldFolder);
    newBefore = bookBytes(newFolder);
    fs::create_directories(run);
    fs::copy_file(oldBook(), run / "old-FILE3.DAT");
    fs::copy_file(newBook(), run / "new-FILE3.DAT");
    fs::remove(oldBook());
    fs::remove(newBook());
    testing::makeBook(oldFolder, {gun("O1", "20040101", "20040315", "SOLD")});
    testing::makeBook(newFolder, {gun("N1", "20040315", "", "PAWN")});
    oldAfter = bookBytes(oldFolder);
    newAfter = bookBytes(newFolder);
    writeSummary();
  }
  // The run's summary, and everything as the run left it.
  void reset() {
    testing::writeBytes(oldBook(), oldAfter);
    testing::writeBytes(newBook(), newAfter);
    testing::writeBytes(run / "old-FILE3.DAT", oldBefore);
    testing::writeBytes(run / "new-FILE3.DAT", newBefore);
    writeSummary();
  }
  void writeSummary() {
    const std::string o0 = reportfolder::sha256OfFile(run / "old-FILE3.DAT"),
                      n0 = reportfolder::sha256OfFile(run / "new-FILE3.DAT");
    writeRunSummary(
        run, "convert", "ran to its end", "03/15/2004",
        {{"old", oldBook(), o0, reportfolder::sha256OfFile(oldBook()), "old-FILE3.DAT", o0},
         {"new", newBook(), n0, reportfolder::sha256OfFile(newBook()), "new-FILE3.DAT", n0}});
  }
  fs::path oldBook() const { return fs::path(oldFolder) / "FILE3.DAT"; }
  fs::path newBook() const { return fs::path(newFolder) / "FILE3.DAT"; }
  booktool::ToolOutcome undo(const UndoOptions& options = {}) {
    return undoRun(rm::bookEngine(), run, reports, std::chrono::system_clock::now(), undone,
                   options);
  }
  void expectBooks(const std::string& oldBytes, const std::string& newBytes) {
    EXPECT_EQ(bookBytes(oldFolder), oldBytes);
    EXPECT_EQ(bookBytes(newFolder), newBytes);
    EXPECT_FALSE(fs::exists(fs::path(oldFolder) / "FILE3.UND"));
    EXPECT_FALSE(fs::exists(fs::path(newFolder) / "FILE3.UND"));
  }
  std::size_t reportFolders() const {
    std::error_code none;
    return std::size_t(std::distance(fs::directory_iterator(reports, none), {}));
  }

  testing::ScratchDir scratch;
  std::string oldFolder = scratch.folder("old"), newFolder = scratch.folder("new");
  fs::path run = scratch.path() / "run", reports = scratch.path() / "reports";
  std::string oldBefore, newBefore, oldAfter, newAfter;
  UndoneRun undone;
};

TEST_F(Undo, PutsBothBooksBackKeepsWhatItReplacedAndThenRefusesAgain) {
  const auto outcome = undo();
  ASSERT_TRUE(outcome.ok) << outcome.problem;
  expectBooks(oldBefore, newBefore);
  EXPECT_EQ(fileBytes(undone.reportFolder / "replaced-old-FILE3.DAT"), oldAfter);
  EXPECT_EQ(fileBytes(undone.reportFolder / "replaced-new-FILE3.DAT"), newAfter);
  const std::string summary = fileBytes(undone.reportFolder / "summary.txt");
  EXPECT_NE(summary.find("restored from: " + (run / "new-FILE3.DAT").string() + ", SHA-256 " +
                         reportfolder::sha256OfFile(newBook())),
            std::string::npos)
      << summary;
  EXPECT_NE(
      summary.find("backup: replaced-old-FILE3.DAT, SHA-256 " +
                   reportfolder::sha256OfFile(undone.reportFolder / "replaced-old-FILE3.DAT")),
      std::string::npos)
      << summary;
  EXPECT_EQ((fs::status(undone.reportFolder / "summary.txt").permissions() & fs::perms::all),
            fs::perms::owner_read | fs::perms::owner_write);

  const auto again = undo();
  EXPECT_FALSE(again.ok);
  EXPECT_NE(again.problem.find("the old book " + oldBook().string() + " changed since the run"),
            std::string::npos)
      << again.problem;
  expectBooks(oldBefore, newBefore);
  EXPECT_EQ(reportFolders(), 1u);
}

TEST_F(Undo, RefusesWithoutChangingABook) {
  struct Case {
    const char* name;
    void (*spoil)(Undo&);
    const char* said;
  };
  const Case cases[] = {
      {"new book changed", [](Undo& u) { testing::writeBytes(u.newBook(), u.newBefore); },
       "the new book"},
      {"backup changed", [](Undo& u) { testing::writeBytes(u.run / "new-FILE3.DAT", u.oldBefore); },
       "does not hold the bytes its report gives"},
      {"a preview", [](Undo& u) { writeRunSummary(u.run, "preview", "ran to its end", "", {}); },
       "is a preview's report"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Undo& u = *this;
    c.spoil(u);
    const std::string oldNow = bookBytes(oldFolder), newNow = bookBytes(newFolder);
    const auto outcome = undo();
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.problem.find(c.said), std::string::npos) << outcome.problem;
    EXPECT_NE(outcome.problem.find("nothing undone"), std::string::npos) << outcome.problem;
    expectBooks(oldNow, newNow);
    EXPECT_EQ(reportFolders(), 0u);
    reset();
  }
}

TEST_F(Undo, AFailureBetweenTheRenamesPutsTheFirstBookBack) {
  const auto outcome = undo({.afterRename = [](const std::string& role) {
    if (role == "old") throw std::runtime_error("disk gone");
  }});
  EXPECT_FALSE(outcome.ok);
  EXPECT_NE(outcome.problem.find("disk gone; every book was put back as it was before the undo"),
            std::string::npos)
      << outcome.problem;
  expectBooks(oldAfter, newAfter);
}

TEST_F(Undo, AKillBetweenTheRenamesIsRolledBackByTheNextCommand) {
  testing::ChildProcess child([&] {
    undo({.afterRename = [](const std::string& role) {
      if (role == "old") std::raise(SIGKILL);
    }});
  });
  const testing::ChildEnd end = child.wait();
  ASSERT_EQ(end.signal, SIGKILL) << end;
  // Half done: the old book holds its backup, the new one is as the run left it.
  EXPECT_EQ(bookBytes(oldFolder), oldBefore);
  EXPECT_EQ(bookBytes(newFolder), newAfter);

  const std::vector<std::string> notes = recoverInterruptedRuns(reports, rm::bookEngine());
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("an undo stopped half-way was rolled back (the old book"),
            std::string::npos)
      << notes[0];
  expectBooks(oldAfter, newAfter);
  EXPECT_NE(fileBytes(notes[0].substr(0, notes[0].find(':')) + "/summary.txt")
                .find("outcome: stopped half-way and rolled back"),
            std::string::npos);
  EXPECT_TRUE(recoverInterruptedRuns(reports, rm::bookEngine()).empty());

  const auto outcome = undo();
  ASSERT_TRUE(outcome.ok) << outcome.problem;
  expectBooks(oldBefore, newBefore);
}

}  // namespace
}  // namespace varnok::restore
