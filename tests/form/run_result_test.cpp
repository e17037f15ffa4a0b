// What the window says a run came to: a preview's result in a dialog before
// "Finished", the status line that stays after each run, Check1 as the
// option it stands beside, and the count of the shelf in a dialog that can
// be saved.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <sys/stat.h>

#include "form/file_choice.h"
#include "form/report_dialog.h"
#include "support/cli_run.h"
#include "support/window_driver.h"

namespace varnok::testing {
namespace {

namespace fs = std::filesystem;
using form::FileChoice;

QString statusLine(WindowDriver& w) { return w.get<QLabel>("RunStatus")->text(); }

// The bundled sample books, previewed on 06/30/2025 as the demo does.
TEST(WindowRunResult, APreviewOfTheSampleBooksShowsWhatTheCommandLinePrintsBeforeFinished) {
  const ScratchDir dir;
  const std::string oldBook = dir.folder("old"), newBook = dir.folder("new");
  for (const auto& [folder, csv] : {std::pair{oldBook, "old"}, std::pair{newBook, "new"}}) {
    ASSERT_EQ(runCli({"book", "create", folder}).exitStatus, 0);
    ASSERT_EQ(runCli({"book", "import", "--report-dir", dir.folder("imports"), folder,
                      std::string(VARNOK_EXAMPLES_DIR) + "/" + csv + "-book.csv"}).exitStatus, 0);
  }
  const std::array<std::string, 6> previous = {"HALVORSEN", "ERIK", "1418 MILL CREEK RD",
                                               "VELMORA", "TX", "75961"};
  const std::array<std::string, 6> next = {"VELMORA PAWN", "DANA", "22 COURTHOUSE SQ",
                                           "VELMORA", "TX", "75961"};
  std::vector<std::string> args = {"convert", "--preview", "--old", oldBook, "--new", newBook,
                                   "--date", "06/30/2025", "--prefix", "vp", "--allow-cut-models"};
  const char* const parts[] = {"last", "first", "address", "city", "state", "zip"};
  for (int i = 0; i < 6; ++i)
    args.insert(args.end(), {std::string("--previous-") + parts[i], previous[i],
                             std::string("--new-") + parts[i], next[i]});
  const CliResult cli = runCli(args);
  ASSERT_EQ(cli.exitStatus, 0) << cli.err;
  const std::string cliResult = cli.out.substr(cli.out.find("Preview: no book was written."));

  WindowDriver w;
  ASSERT_TRUE(w.show());
  w.fillIn(oldBook, newBook, "06/30/2025");
  for (int i = 0; i < 6; ++i) {
    w.box(QStringLiteral("Text1_%1").arg(i))->setText(QString::fromStdString(previous[i]));
    w.box(QStringLiteral("Text2_%1").arg(i))->setText(QString::fromStdString(next[i]));
  }
  w.box("Text5")->setText("vp");
  WindowDriver::answerBoxes(form::MessageBox::Ok, 4);
  w.trigger("mnuPreview");
  const QStringList shown = w.boxesShown();

  ASSERT_GE(shown.size(), 2);
  EXPECT_EQ(shown.last(), "Finished");
  const QString dialog = shown[shown.size() - 2];
  EXPECT_EQ(dialog, "Preview: what the run would do\n" + QString::fromStdString(cliResult));
  // What the sample books hold, counted by hand: nine entries left open and
  // sixteen hand-overs keeping a later form 4473 number.
  EXPECT_TRUE(dialog.contains("  THE BOOKS DO NOT RECONCILE: ")) << dialog.toStdString();
  EXPECT_TRUE(dialog.contains("  9 entr(ies) left open in the closed old book"));
  EXPECT_TRUE(dialog.contains("  16 gun(s) handed over that keep a later disposal's form 4473"));
  EXPECT_TRUE(dialog.contains("  THE HAND-OVER IS NOT PROVEN: "));

  const QStringList status = statusLine(w).split('\n');
  ASSERT_EQ(status.size(), 2) << statusLine(w).toStdString();
  EXPECT_TRUE(status[0].startsWith("Preview: ran to its end. Reconciliation: THE BOOKS DO NOT "
                                   "RECONCILE: ")) << status[0].toStdString();
  EXPECT_TRUE(status[0].contains(". Check: THE HAND-OVER IS NOT PROVEN: "));
  EXPECT_TRUE(status[1].startsWith("Report: " + QString::fromStdString(
                                                    (cliDataHome().path() / "varnok" / "reports").string())));
  EXPECT_TRUE(status[1].contains("-preview"));
}

// Check1 is mnuOption1: each shows what the other was set to, and ticked it
// leaves the received-from details of the carried-over guns, the check of
// the converted books expecting the same.
TEST(WindowRunResult, Check1IsTheOptionToLeaveTheReceivedFromDetails) {
  const ScratchDir dir;
  const std::string oldFolder = dir.folder("old"), newFolder = dir.folder("new");
  makeBook(oldFolder, {gun("A1", "20040301", kBlankDate, "PAWN")});
  makeBook(newFolder, {gun("A1", "20040301", kBlankDate, "PAWN")});
  const gunbook::GunRecord before = readBook(newFolder)[0];
  WindowDriver w;
  ASSERT_TRUE(w.show());
  w.fillIn(oldFolder, newFolder);
  auto* check = w.get<QCheckBox>("Check1");
  auto* item = w.get<QAction>("mnuOption1");

  w.click("Check1");
  EXPECT_TRUE(item->isChecked());
  w.trigger("mnuOption1");
  EXPECT_FALSE(check->isChecked());
  w.trigger("mnuOption1");
  EXPECT_TRUE(check->isChecked());

  w.click("BeginConversion");
  ASSERT_EQ(w.boxesShown().last(), "Finished");
  const gunbook::GunRecord after = readBook(newFolder)[0];
  EXPECT_EQ(after.RecvLastName, before.RecvLastName);
  EXPECT_NE(after.RecvLastName, gunbook::FixedText<15>(kPreviousLicensee[0]));
  EXPECT_EQ(after.DateIn, gunbook::FixedText<8>(kD));
  EXPECT_TRUE(statusLine(w).contains(". Check: the hand-over is proven.\nReport: "))
      << statusLine(w).toStdString();
}

// The count of a small shelf, as varnok-cli reconcile --count makes it,
// then saved from the dialog: 0600; a folder that is not there is told.
TEST(WindowRunResult, TheCountOfTheShelfShowsInADialogThatSaves) {
  const ScratchDir dir;
  const std::string oldFolder = dir.folder("old"), newFolder = dir.folder("new");
  makeBook(oldFolder, {gun("A1", "20040301", kBlankDate, "PAWN"),
                       gun("A2", "20040301", kBlankDate, "SALE"),
                       gun("A3", "20040320", kBlankDate, "SALE")});
  writeBytes(dir.file("count.txt"), "A1\nZ9\n");
  const CliResult cli = runCli({"reconcile", "--old", oldFolder, "--date", kDateTyped, "--count",
                                dir.file("count.txt")});
  ASSERT_EQ(cli.exitStatus, 7) << cli.err;
  WindowDriver w;
  ASSERT_TRUE(w.show());
  w.fillIn(oldFolder, newFolder);
  FileChoice::setNextChoice(QString::fromStdString(dir.file("count.txt")));
  WindowDriver::answerBoxes(form::MessageBox::Ok);
  w.trigger("mnuShelfCount");
  const QStringList shown = w.boxesShown();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_EQ(shown[0], QString::fromStdString("Count on the shelf: " + dir.file("count.txt") +
                                             "\n" + cli.out));
  EXPECT_TRUE(shown[0].contains("Matched: 1\n"));
  EXPECT_TRUE(shown[0].contains("  line 2: \"Z9\""));
  EXPECT_TRUE(shown[0].contains("  A2: serial number"));

  form::ReportDialog dialog(&w.window, "Count", "the count\n", "shelf-count.txt");
  FileChoice::setNextChoice(QString::fromStdString(dir.file("saved.txt")));
  dialog.findChild<QPushButton*>("SaveReport")->click();
  EXPECT_EQ(fileBytes(dir.file("saved.txt")), "the count\n");
  struct stat st{};
  ASSERT_EQ(::stat(dir.file("saved.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  FileChoice::setNextChoice(QString::fromStdString(dir.file("no such folder/saved.txt")));
  WindowDriver::answerBoxes(form::MessageBox::Ok);
  EXPECT_FALSE(dialog.save());
  const QStringList told = w.boxesShown();
  ASSERT_EQ(told.size(), 1);
  EXPECT_TRUE(told[0].startsWith("The report was not saved: ")) << told[0].toStdString();
}

}  // namespace
}  // namespace varnok::testing
