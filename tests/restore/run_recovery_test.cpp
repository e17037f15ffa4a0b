// A run stopped at any moment (a kill at each change SQLite makes on disk,
// and at random moments of a larger run) leaves a report folder that the
// next command puts right: changes.csv then lists exactly the difference
// between each book's backup and the book, whole rows only, and the summary
// says the run was cut short. A preview beside a save cut short opens
// nothing.
#include "restore/run_recovery.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "book_fixture.h"
#include "child_process.h"
#include "conversion/converter.h"
#include "fake_view.h"
#include "kill_at_write.h"
#include "random_books.h"
#include "report/run_report.h"
#include "report_support.h"
#include "reportfolder/run_ledger.h"

namespace varnok::testing {
namespace {

namespace fs = std::filesystem;
using conversion::Converter;
using report::Mode;
using report::RunKind;
using report::RunReport;

struct PairToStop {
  ScratchDir dir;
  std::string oldFolder = dir.folder("old");
  std::string newFolder = dir.folder("new");
  fs::path reports = dir.path() / "reports";
  FakeView view;

  explicit PairToStop(uint32_t seed, int scale = 1) {
    Generator random(seed);
    const model::Inputs in = random.fillIn(view, oldFolder, newFolder);
    model::Books books = random.books(in.D, false);
    for (int i = 1; i < scale; ++i) {
      // Larger books: more of the same, under other stock numbers.
      Generator more(seed + 1000u * i);
      const model::Books extra = more.books(in.D, false);
      for (auto [from, to] :
           {std::pair{&extra.oldBook, &books.oldBook}, std::pair{&extra.newBook, &books.newBook}}) {
        for (auto record : *from) {
          record.Field00 = "X" + std::to_string(i) + record.Field00.str();
          to->push_back(record);
        }
      }
    }
    view.confirmAnswer = true;  // a prefix that cuts models is meant
    makeBook(oldFolder, books.oldBook);
    makeBook(newFolder, books.newBook);
  }

  // Runs the conversion with its report in a child process.
  ChildEnd run(long killAtChange) {
    return runInChild([&] {
      KillAtWrite::install();
      KillAtWrite::killAt(killAtChange);
      RunReport report(RunKind::Convert, Mode::Run, reports, view.form, rm::bookEngine());
      Converter converter(view, report.recordManager());
      converter.runConversion();
      report.finish(converter);
      return killAtChange == 0 ? int(std::min(KillAtWrite::changes(), 255L)) : 0;
    });
  }

  // The run's folder (at most one) once the next command has looked at it.
  fs::path recoveredFolder() {
    restore::recoverInterruptedRuns(reports, rm::bookEngine());
    fs::path found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(reports, error)) {
      EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path() << " was never named";
      found = entry.path();
    }
    return found;
  }

  // The report against the books: its rows are the difference between the
  // backups (or the book, when none was taken) and the books now.
  void expectReportTellsTheTruth(const fs::path& folder, const std::string& trace) {
    for (const auto& [role, book, names] :
         {std::tuple{"old", oldFolder, ChangeNames{"handed over", "-"}},
          std::tuple{"new", newFolder, ChangeNames{"carried over", "-"}}}) {
      const fs::path backup = folder / (std::string(role) + "-FILE3.DAT");
      ExportedBook before = exportedBook(book);
      if (fs::exists(backup)) {
        const std::string copy = dir.folder(std::string("backup-") + role);
        fs::copy_file(backup, fs::path(copy) / "FILE3.DAT", fs::copy_options::overwrite_existing);
        before = exportedBook(copy);
      }
      EXPECT_EQ(reportedChanges(folder, role),
                expectedChanges(role, before, exportedBook(book), names))
          << trace << " (" << role << " book)";
    }
    for (const auto& entry : fs::directory_iterator(folder))
      EXPECT_NE(entry.path().extension(), ".partial") << trace << ": left half made";
  }
};

TEST(ReportOfAStoppedRun, AKillAtAnyChangeOnDiskLeavesAReportThatMatchesTheBooks) {
  const ChildEnd whole = PairToStop(50001).run(0);
  ASSERT_TRUE(whole.exited) << whole;
  const long changes = whole.exitStatus;
  ASSERT_GT(changes, 10);
  for (long n = 1; n <= changes; ++n) {
    const std::string trace =
        "killed before change " + std::to_string(n) + " of " + std::to_string(changes);
    PairToStop pair(50001);
    ASSERT_EQ(pair.run(n).signal, SIGKILL) << trace;
    const fs::path folder = pair.recoveredFolder();
    ASSERT_FALSE(folder.empty()) << trace;
    EXPECT_NE(fileBytes(folder / "summary.txt").find("ended: CUT SHORT"), std::string::npos)
        << trace;
    pair.expectReportTellsTheTruth(folder, trace);
  }
}

TEST(ReportOfAStoppedRun, AKillAtARandomMomentLeavesAReportThatMatchesTheBooks) {
  std::mt19937 random(7);
  for (int round = 0; round < 12; ++round) {
    PairToStop pair(60001 + round, 80);
    ChildProcess child([&] {
      RunReport report(RunKind::Convert, Mode::Run, pair.reports, pair.view.form, rm::bookEngine());
      Converter converter(pair.view, report.recordManager());
      converter.runConversion();
      report.finish(converter);
    });
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 60000));
    child.kill(SIGKILL);
    child.wait();
    const fs::path folder = pair.recoveredFolder();
    if (folder.empty()) continue;  // killed before its folder had its name
    pair.expectReportTellsTheTruth(folder, "round " + std::to_string(round));
  }
}

TEST(PreviewBesideASaveCutShort, OpensNoBookAndSaysHowToRecoverIt) {
  PairToStop pair(50001);
  // A run killed in the middle of the old book's commit leaves its journal.
  long n = 1;
  for (;; ++n) {
    ASSERT_LT(n, 200) << "no kill left a journal beside the old book";
    PairToStop attempt(50001);
    attempt.run(n);
    if (rm::saveCutShortBeside(attempt.oldFolder + "FILE3.DAT")) break;
  }
  ASSERT_EQ(pair.run(n).signal, SIGKILL);
  ASSERT_TRUE(rm::saveCutShortBeside(pair.oldFolder + "FILE3.DAT")) << "killed at " << n;
  const std::string book = fileBytes(pair.oldFolder + "FILE3.DAT");
  const std::string journal = fileBytes(pair.oldFolder + "FILE3.DAT-journal");

  FakeView view;
  view.form = pair.view.form;
  view.confirmAnswer = true;
  RunReport preview(RunKind::Convert, Mode::Preview, pair.dir.path() / "previews", view.form,
                    rm::bookEngine());
  Converter converter(view, preview.recordManager());
  converter.runConversion();
  EXPECT_EQ(converter.outcome(), Converter::Outcome::BookNotOpened);
  ASSERT_FALSE(preview.problems().empty());
  EXPECT_NE(preview.problems()[0].find("book stat"), std::string::npos) << preview.problems()[0];
  EXPECT_EQ(fileBytes(pair.oldFolder + "FILE3.DAT"), book);
  EXPECT_EQ(fileBytes(pair.oldFolder + "FILE3.DAT-journal"), journal);
}

}  // namespace
}  // namespace varnok::testing
