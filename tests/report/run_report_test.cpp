// A run's report against the books themselves: random pairs previewed and
// then converted (or transferred), with changes.csv compared to the
// difference between the books' exports before and after, and the backups
// and book files compared byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "book_fixture.h"
#include "book_lock.h"
#include "booktool/book_csv.h"
#include "booktool/book_tool.h"
#include "conversion/converter.h"
#include "fake_view.h"
#include "faulty_record_manager.h"
#include "random_books.h"
#include "report/run_report.h"
#include "report_support.h"

namespace varnok::testing {
namespace {

namespace fs = std::filesystem;
using conversion::Converter;
using report::Mode;
using report::RunKind;
using report::RunReport;

void runProcedure(Converter& converter, RunKind kind) {
  if (kind == RunKind::Convert) {
    converter.runConversion();
  } else {
    converter.transferLateDisposals();
  }
}

// Runs (or previews) on the form's books through a report; answers every
// error report with the view's answers.
fs::path reportedRun(RunKind kind, Mode mode, const fs::path& reports, FakeView& view,
                     rm::RecordManager& engine = rm::bookEngine()) {
  RunReport report(kind, mode, reports, view.form, engine);
  Converter converter(view, report.recordManager());
  runProcedure(converter, kind);
  return report.finish(converter);
}

struct PairOnDisk {
  ScratchDir dir;
  std::string oldFolder = dir.folder("old");
  std::string newFolder = dir.folder("new");
  fs::path reports = dir.path() / "reports";
  std::string oldBytes() const { return fileBytes(oldFolder + "FILE3.DAT"); }
  std::string newBytes() const { return fileBytes(newFolder + "FILE3.DAT"); }
};

struct KindCase {
  const char* name;
  RunKind kind;
  bool uniqueAcrossBooks;
  ChangeNames oldNames, newNames;
  uint32_t firstSeed;
};

void PrintTo(const KindCase& c, std::ostream* out) { *out << c.name; }

class ReportOnRandomPairs : public ::testing::TestWithParam<KindCase> {};

TEST_P(ReportOnRandomPairs, PreviewWritesNothingAndTheRunChangesWhatTheReportSays) {
  const KindCase& c = GetParam();
  int changedRows = 0, checks = 0;
  for (uint32_t seed = c.firstSeed; seed < c.firstSeed + 40; ++seed) {
    Generator random(seed);
    PairOnDisk pair;
    FakeView view;
    const model::Inputs in = random.fillIn(view, pair.oldFolder, pair.newFolder);
    const model::Books books = random.books(in.D, c.uniqueAcrossBooks);
    makeBook(pair.oldFolder, books.oldBook);
    makeBook(pair.newFolder, books.newBook);
    const std::string oldBefore = pair.oldBytes(), newBefore = pair.newBytes();
    const ExportedBook oldExport = exportedBook(pair.oldFolder);
    const ExportedBook newExport = exportedBook(pair.newFolder);

    FakeView previewView;
    previewView.form = view.form;
    const fs::path preview = reportedRun(c.kind, Mode::Preview, pair.reports, previewView);
    ASSERT_TRUE(pair.oldBytes() == oldBefore && pair.newBytes() == newBefore)
        << "seed " << seed << ": a preview wrote a book";

    const fs::path run = reportedRun(c.kind, Mode::Run, pair.reports, view);
    const auto oldRows =
        expectedChanges("old", oldExport, exportedBook(pair.oldFolder), c.oldNames);
    const auto newRows =
        expectedChanges("new", newExport, exportedBook(pair.newFolder), c.newNames);
    ASSERT_EQ(reportedChanges(run, "old"), oldRows) << "seed " << seed;
    ASSERT_EQ(reportedChanges(run, "new"), newRows) << "seed " << seed;
    ASSERT_EQ(reportedChanges(preview, "old"), oldRows) << "seed " << seed;
    ASSERT_EQ(reportedChanges(preview, "new"), newRows) << "seed " << seed;
    if (fs::exists(run / "old-FILE3.DAT")) {
      ASSERT_TRUE(fileBytes(run / "old-FILE3.DAT") == oldBefore) << "seed " << seed;
      ASSERT_TRUE(fileBytes(run / "new-FILE3.DAT") == newBefore) << "seed " << seed;
    }
    // The preview's check, made on its changes applied to the books, is the
    // run's, made on the books it left.
    // (Unless a value changes.csv cannot tell from its spreadsheet
    // escape was written: the preview then says so.)
    const std::string previewSummary = fileBytes(preview / "summary.txt");
    if (previewSummary.find("may or may not begin with an apostrophe") == std::string::npos) {
      ASSERT_EQ(fileBytes(preview / "check.txt"), fileBytes(run / "check.txt"))
          << "seed " << seed << previewSummary;
      checks += fs::exists(run / "check.txt");
    }
    changedRows += static_cast<int>(oldRows.size() + newRows.size());
  }
  EXPECT_GT(changedRows, 1000);  // the generator reached books that change
  if (c.kind == RunKind::Convert) {
    EXPECT_GT(checks, 30);  // a fix makes none
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ReportOnRandomPairs,
    ::testing::Values(KindCase{"Convert", RunKind::Convert, false, {"handed over", "-"},
                               {"carried over", "-"}, 30001},
                      KindCase{"Fix", RunKind::Fix, true, {"transferred out", "-"},
                               {"-", "transferred in"}, 40001}),
    [](const auto& info) { return std::string(info.param.name); });

// A small pair with something to change in both books.
struct SmallPair : PairOnDisk {
  FakeView view;
  SmallPair() {
    makeBook(oldFolder, {gun("A1", "20250601", "        ", "PAWN"),
                         gun("A2", "20250601", "20250701", "SOLD"),
                         gun("A3", "20250701", "        ", "SALE")});
    makeBook(newFolder, {gun("B1", "20250601", "        ", "PAWN"),
                         gun("B2", "20250601", "20250615", "SOLD")});
    view.fillIn(oldFolder, newFolder, "06/30/2025");
  }
};

TEST(ReportOfDroppedSessions, ADroppedSessionLeavesNoRowsAndTheBookAsItWas) {
  struct Case {
    RunKind kind;
    int failedClose;  // counting every Close of the run
    bool oldRows, newRows;
  };
  // Convert closes old, new (book check), old (close-out), new (rebase);
  // the transfer closes new, then old, and drops the old book's changes
  // when the new book's Close is let go.
  for (const Case c :
       {Case{RunKind::Convert, 3, false, true}, Case{RunKind::Convert, 4, true, false},
        Case{RunKind::Fix, 1, false, false}, Case{RunKind::Fix, 2, false, true}}) {
    SmallPair pair;
    const std::string oldBefore = pair.oldBytes(), newBefore = pair.newBytes();
    FaultyRecordManager faulty(rm::bookEngine());
    faulty.failCalls(rm::op::Close, rm::status::DiskFull, c.failedClose);
    pair.view.answers = {errortrap::Answer::Ignore};
    const fs::path folder = reportedRun(c.kind, Mode::Run, pair.reports, pair.view, faulty);
    const std::string which = std::to_string(int(c.kind)) + "/" + std::to_string(c.failedClose);
    EXPECT_EQ(!reportedChanges(folder, "old").empty(), c.oldRows) << which;
    EXPECT_EQ(!reportedChanges(folder, "new").empty(), c.newRows) << which;
    // Never "ran to its end" alone after a refused Close.
    EXPECT_NE(fileBytes(folder / "summary.txt").find("NOT EVERY BOOK WAS SAVED"), std::string::npos)
        << which;
    if (!c.oldRows) {
      EXPECT_TRUE(pair.oldBytes() == oldBefore) << which;
    }
    if (!c.newRows) {
      EXPECT_TRUE(pair.newBytes() == newBefore) << which;
    }
  }
}

TEST(ReportBackups, ABackupThatCannotBeWrittenStopsTheRunBeforeAnyBookIsTouched) {
  for (const RunKind kind : {RunKind::Convert, RunKind::Fix}) {
    for (const char* blocked : {"old-FILE3.DAT", "new-FILE3.DAT"}) {
      SmallPair pair;
      const std::string oldBefore = pair.oldBytes(), newBefore = pair.newBytes();
      RunReport report(kind, Mode::Run, pair.reports, pair.view.form, rm::bookEngine());
      fs::create_directory(report.folder() / blocked);  // the backup's name is taken
      Converter converter(pair.view, report.recordManager());
      runProcedure(converter, kind);
      report.finish(converter);

      EXPECT_EQ(converter.outcome(), Converter::Outcome::BookNotOpened) << blocked;
      EXPECT_TRUE(pair.oldBytes() == oldBefore && pair.newBytes() == newBefore) << blocked;
      ASSERT_EQ(converter.unopenedBooks().size(), 1u);
      EXPECT_NE(converter.unopenedBooks()[0].find("backup copy could not be written"),
                std::string::npos);
      ASSERT_EQ(report.problems().size(), 1u);
      EXPECT_NE(report.problems()[0].find(blocked), std::string::npos) << report.problems()[0];
      EXPECT_TRUE(reportedChanges(report.folder(), "old").empty());
      EXPECT_TRUE(reportedChanges(report.folder(), "new").empty());
    }
  }
}

// Backups and hashes leave every open book locked.
TEST(ReportBackups, TakingThemLeavesEveryOpenBookLocked) {
  for (const Mode mode : {Mode::Run, Mode::Preview}) {
    SmallPair pair;
    LockWatchingView view;
    view.form = pair.view.form;
    view.files = {pair.oldFolder + "FILE3.DAT", pair.newFolder + "FILE3.DAT"};
    reportedRun(RunKind::Convert, mode, pair.reports, view);
    EXPECT_EQ(view.messages.back(), "Finished");
    EXPECT_EQ(view.lockedWhileCountsShow, (std::vector<bool>{true, true}));
  }
}

// Opens the book in `folder` through `manager` and rewrites its entry A1
// as HELD, the session left open.
void holdOnA1(gunbook::BookCursor& cursor, rm::RecordManager& manager, const std::string& folder) {
  cursor.KeyBuffer = gunbook::bookFileKey(folder);
  ASSERT_EQ(cursor.call(manager, rm::op::Open), 0);
  cursor.KeyBuffer = "A1";
  ASSERT_EQ(cursor.call(manager, rm::op::GetGreaterOrEqual), 0);
  cursor.Record.Status = "HELD";
  ASSERT_EQ(cursor.call(manager, rm::op::Update), 0);
}

// A hash made beside a session on the book leaves that session's lock.
TEST(ReportBackups, HashingABookLeavesTheLockOfASessionOnItInPlace) {
  SmallPair pair;
  const std::string book = pair.oldFolder + "FILE3.DAT";
  RunReport report(RunKind::Convert, Mode::Run, pair.reports, pair.view.form, rm::bookEngine());
  rm::RecordManager& manager = report.recordManager();
  gunbook::BookCursor cursor;
  ASSERT_NO_FATAL_FAILURE(holdOnA1(cursor, manager, pair.oldFolder));
  ASSERT_EQ(cursor.call(manager, rm::op::Close), 0);  // its hash after is begun
  cursor.KeyBuffer = gunbook::bookFileKey(pair.oldFolder);
  ASSERT_EQ(cursor.call(manager, rm::op::Open), 0);
  // And one opened and left as it was: its hash is made at the end.
  gunbook::BookCursor unchanged;
  unchanged.KeyBuffer = gunbook::bookFileKey(pair.newFolder);
  ASSERT_EQ(unchanged.call(manager, rm::op::Open), 0);
  report.finish(std::string("checked"));  // every hash made, both books still open
  for (const std::string& file : {book, pair.newFolder + "FILE3.DAT"})
    EXPECT_TRUE(lockedElsewhere(file)) << file;
  for (const auto& record : report.books()) EXPECT_EQ(record.sha256After.size(), 64u);
  ASSERT_EQ(cursor.call(manager, rm::op::Discard), 0);
  ASSERT_EQ(unchanged.call(manager, rm::op::Discard), 0);
  EXPECT_FALSE(lockedElsewhere(book));
}

TEST(ReportFolder, AFolderInsideABookOrThatCannotBeMadeIsRefusedWithItsReason) {
  SmallPair pair;
  std::ofstream(pair.dir.path() / "a file") << "x";
  const struct {
    fs::path reports;
    const char* says;
  } cases[] = {
      {fs::path(pair.oldFolder) / "reports", "inside the old book's folder"},
      {fs::path(pair.newFolder), "inside the new book's folder"},
      {pair.dir.path() / "a file" / "reports", "a file"},
  };
  for (const auto& c : cases) {
    try {
      RunReport report(RunKind::Convert, Mode::Run, c.reports, pair.view.form, rm::bookEngine());
      ADD_FAILURE() << c.reports << " was taken";
    } catch (const std::exception& error) {
      EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << error.what();
    }
  }
  EXPECT_FALSE(fs::exists(fs::path(pair.oldFolder) / "reports"));
}

// A removed entry is one row holding it whole, and those cells under the
// export's header import again as the entries were; a stock number a
// spreadsheet would take for a formula is quoted in its entry's cell, which
// then begins with the quote. A preview's check reads such rows back.
TEST(ReportOfRemovedEntries, ImportAgainAsTheyWere) {
  PairOnDisk pair;
  gunbook::GunRecord quoted = gun("B3", "20250601", "20250615", "SOLD");
  quoted.Field06 = "A \"B\", C";
  makeBook(pair.oldFolder, {gun("A1", "20250601", "        ", "PAWN")});
  makeBook(pair.newFolder, {gun("=B1", "20250601", "20250615", "SOLD"),
                            gun("-B2", "20250601", "20250615", "SOLD"), quoted,
                            gun("B4", "20250601", "        ", "PAWN")});
  const ExportedBook before = exportedBook(pair.newFolder);
  FakeView view;
  view.fillIn(pair.oldFolder, pair.newFolder, "06/30/2025");
  FakeView previewView;
  previewView.form = view.form;
  const fs::path preview = reportedRun(RunKind::Convert, Mode::Preview, pair.reports, previewView);
  const fs::path run = reportedRun(RunKind::Convert, Mode::Run, pair.reports, view);
  EXPECT_EQ(fileBytes(preview / "check.txt"), fileBytes(run / "check.txt"));
  const ExportedBook after = exportedBook(pair.newFolder);
  const std::vector<CsvRow> rows = reportedChanges(run, "new");
  EXPECT_EQ(rows, expectedChanges("new", before, after, {"carried over", "-"}));

  std::string csv = booktool::bookCsvHeader();
  for (const CsvRow& row : rows) {
    if (row[2] != "removed") continue;
    EXPECT_EQ(spreadsheetText(row[4]), row[4]) << "begins like a formula: " << row[4];
    csv += row[4] + "\r\n";
  }
  const std::string again = pair.dir.folder("again");
  ASSERT_TRUE(booktool::createBook(rm::bookEngine(), again).ok);
  const auto imported = booktool::importBook(rm::bookEngine(), again, csv, "removed.csv");
  ASSERT_TRUE(imported.ok) << imported.problem << "\n" << csv;
  ExportedBook removed = before;
  for (const auto& [key, row] : after) removed.erase(key);
  EXPECT_EQ(removed.size(), 3u);
  EXPECT_EQ(exportedBook(again), removed);
}

// The report writes through its folder's descriptor: a folder swapped for a
// link while the run goes on takes no write.
TEST(ReportFolderSwapped, DuringTheRunRedirectsNoWrite) {
  SmallPair pair;
  const fs::path elsewhere = pair.dir.path() / "elsewhere";
  fs::create_directory(elsewhere);
  RunReport report(RunKind::Convert, Mode::Run, pair.reports, pair.view.form, rm::bookEngine());
  const fs::path folder = report.folder(), moved = pair.dir.path() / "moved";
  Converter converter(pair.view, report.recordManager());
  converter.runConversion();
  fs::rename(folder, moved);
  fs::create_directory_symlink(elsewhere, folder);
  report.finish(converter);
  EXPECT_TRUE(fs::is_empty(elsewhere));
  EXPECT_NE(fileBytes(moved / "summary.txt").find("outcome: ran to its end"), std::string::npos);
}

// Entries changed more than once in a session are reported from their first
// state to their last; one added and removed again not at all.
TEST(ReportOfOneSession, RowsGoFromEachEntrysFirstStateToItsLast) {
  SmallPair pair;
  const std::string before = pair.oldBytes();
  RunReport report(RunKind::Convert, Mode::Run, pair.reports, pair.view.form, rm::bookEngine());
  rm::RecordManager& manager = report.recordManager();
  gunbook::BookCursor cursor;
  ASSERT_NO_FATAL_FAILURE(holdOnA1(cursor, manager, pair.oldFolder));
  cursor.Record.Status = "PAWN";  // back as it was
  cursor.Record.Field06 = "MOVED";
  ASSERT_EQ(cursor.call(manager, rm::op::Update), 0);
  cursor.Record = gun("Z9", "20250601", "        ", "PAWN");
  ASSERT_EQ(cursor.call(manager, rm::op::Insert), 0);
  ASSERT_EQ(cursor.call(manager, rm::op::Delete), 0);
  ASSERT_EQ(cursor.call(manager, rm::op::Close), 0);

  const std::vector<CsvRow> expected{{"old", "A1", "handed over", "Field06", "", "MOVED"}};
  EXPECT_EQ(reportedChanges(report.folder(), "old"), expected);

  // Opened again after its file changed, the book is copied afresh; the
  // first copy still holds the book before the run.
  const std::string changed = pair.oldBytes();
  cursor.KeyBuffer = gunbook::bookFileKey(pair.oldFolder);
  ASSERT_EQ(cursor.call(manager, rm::op::Open), 0);
  ASSERT_EQ(cursor.call(manager, rm::op::Discard), 0);
  report.finish(std::string("ended by the test"));
  EXPECT_TRUE(fileBytes(report.folder() / "old-2-FILE3.DAT") == changed);
  EXPECT_TRUE(fileBytes(report.folder() / "old-FILE3.DAT") == before);
  ASSERT_EQ(report.books().at(0).backups.size(), 2u);
}

}  // namespace
}  // namespace varnok::testing
