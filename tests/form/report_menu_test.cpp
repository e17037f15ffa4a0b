// The window's Report menu: a preview that writes no book, every run's
// report folder, and the last one opened in the desktop's file manager.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <cstdlib>
#include <filesystem>

#include "support/book_fixture.h"
#include "support/cli_run.h"
#include "support/conversion_dates.h"
#include "support/window_driver.h"

namespace varnok::testing {
namespace {

namespace fs = std::filesystem;
const QString kCounts = QStringLiteral("Number of old guns = 2 Number of new guns 1");

// The desktop's xdg-open, first on PATH while it lives: notes each folder it
// is given and ends with `status`; with no status, PATH holds no xdg-open.
class FakeXdgOpen {
 public:
  FakeXdgOpen(const ScratchDir& dir, std::optional<int> status)
      : bin_(dir.folder("bin-" + (status ? std::to_string(*status) : "none"))),
        noted_(dir.file("opened-" + (status ? std::to_string(*status) : "none"))),
        path_(std::getenv("PATH")) {
    if (status) {
      writeBytes(bin_ + "xdg-open", "#!/bin/sh\necho \"$1\" >>'" + noted_ + "'\nexit " +
                                        std::to_string(*status) + "\n");
      fs::permissions(bin_ + "xdg-open", fs::perms::owner_all);
    }
    setenv("PATH", (bin_ + ":/usr/bin:/bin").c_str(), 1);
    if (!status) setenv("PATH", bin_.c_str(), 1);
  }
  ~FakeXdgOpen() { setenv("PATH", path_.c_str(), 1); }

  // The folders it was given, once it has been given `count`.
  QStringList opened(qsizetype count) const {
    QStringList folders;
    (void)QTest::qWaitFor([&] {
      folders = QString::fromStdString(fileBytes(noted_)).split('\n', Qt::SkipEmptyParts);
      return folders.size() >= count;
    }, 5000);
    return folders;
  }

 private:
  std::string bin_, noted_, path_;
};

class WindowReportMenu : public ::testing::Test {
 protected:
  void SetUp() override {
    makeMenuPair(oldFolder, newFolder);
    ASSERT_TRUE(w.show());
    w.fillIn(oldFolder, newFolder);
  }

  std::string bytes(const std::string& folder) { return fileBytes(fs::path(folder) / "FILE3.DAT"); }
  // Chooses a menu item, answering OK to every box it shows.
  QStringList choose(const QString& item) {
    WindowDriver::answerBoxes(form::MessageBox::Ok, 4);
    w.trigger(item);
    return w.boxesShown();
  }
  QStringList press(const QString& button) {
    w.click(button);
    return w.boxesShown();
  }

  ScratchDir dir;
  std::string oldFolder = dir.folder("old");
  std::string newFolder = dir.folder("new");
  WindowDriver w;
  FakeXdgOpen desktop{dir, 0};
};

TEST_F(WindowReportMenu, PreviewWritesNoBookAndOpenLastReportShowsItsReport) {
  const std::string oldBefore = bytes(oldFolder), newBefore = bytes(newFolder);
  const QStringList shown = choose("mnuPreview");
  ASSERT_FALSE(shown.isEmpty());
  EXPECT_EQ(shown.last(), "Finished");
  EXPECT_EQ(bytes(oldFolder), oldBefore);
  EXPECT_EQ(bytes(newFolder), newBefore);

  EXPECT_TRUE(choose("mnuOpenLastReport").isEmpty());
  QStringList opened = desktop.opened(1);
  ASSERT_EQ(opened.size(), 1);
  const fs::path report = opened[0].toStdString();
  EXPECT_EQ(report.parent_path(), cliDataHome().path() / "varnok" / "reports");
  EXPECT_EQ(report.filename().string().substr(18), "preview");
  const std::string changes = fileBytes(report / "changes.csv");
  EXPECT_NE(changes.find("new,A2,removed,entry,\"A2,"), std::string::npos) << changes;
  EXPECT_NE(fileBytes(report / "summary.txt").find("the books reconcile"), std::string::npos);

  // A real run then: its report is the last one, with the books' backups.
  EXPECT_EQ(press("BeginConversion").last(), "Finished");
  EXPECT_NE(bytes(newFolder), newBefore);
  choose("mnuOpenLastReport");
  opened = desktop.opened(2);
  ASSERT_EQ(opened.size(), 2);
  const fs::path run = opened[1].toStdString();
  EXPECT_EQ(run.filename().string().substr(18), "convert");
  EXPECT_EQ(fileBytes(run / "new-FILE3.DAT"), newBefore);
  EXPECT_TRUE(w.boxesShown().isEmpty());
}

// Where the desktop cannot open the folder, a message names it: xdg-open
// fails, or there is none.
TEST_F(WindowReportMenu, OpenLastReportNamesTheFolderWhenTheDesktopCannotOpenIt) {
  choose("mnuPreview");
  for (const std::optional<int> status : {std::optional<int>(4), std::optional<int>()}) {
    SCOPED_TRACE(status ? "xdg-open fails" : "no xdg-open");
    const FakeXdgOpen failing(dir, status);
    w.trigger("mnuOpenLastReport");
    WindowDriver::answerBoxes(form::MessageBox::Ok);  // the message comes once xdg-open ends
    QStringList shown;
    EXPECT_TRUE(QTest::qWaitFor([&] { return !(shown += w.boxesShown()).isEmpty(); }, 5000));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(QRegularExpression("^The last report is in .*/varnok/reports/[0-9-]{17}-preview(-[0-9]+)?$")
                    .match(shown[0]).hasMatch()) << shown[0].toStdString();
    if (status) {
      EXPECT_EQ(failing.opened(1).size(), 1);
    }
  }
}

TEST_F(WindowReportMenu, ARunWhoseReportCannotBeMadeOpensNoBook) {
  const std::string oldBefore = bytes(oldFolder), newBefore = bytes(newFolder);
  const std::string dataHome = cliDataHome().path().string();
  writeBytes(dir.path() / "a-file", "not a folder");
  setenv("XDG_DATA_HOME", (dir.path() / "a-file").c_str(), 1);
  const QStringList shown = choose("mnuPreview") + press("BeginConversion");
  setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
  ASSERT_EQ(shown.size(), 2) << shown.join(" | ").toStdString();
  for (const QString& text : shown)
    EXPECT_TRUE(text.startsWith("No book was opened: the run's report folder could not be made"))
        << text.toStdString();
  EXPECT_EQ(bytes(oldFolder), oldBefore);
  EXPECT_EQ(bytes(newFolder), newBefore);
}

// A refused input opens no book: it leaves no report, and "Open last
// report" still opens the last run's.
TEST_F(WindowReportMenu, ARefusedInputLeavesNoReport) {
  choose("mnuPreview");
  choose("mnuOpenLastReport");
  ASSERT_EQ(desktop.opened(1).size(), 1);
  const fs::path reports = cliDataHome().path() / "varnok" / "reports";
  const auto reportCount = [&] { return std::distance(fs::directory_iterator(reports), {}); };
  const auto before = reportCount();

  w.box("Text2_5")->clear();
  EXPECT_EQ(press("BeginConversion"), QStringList({"You must enter information in all the boxes"}));
  EXPECT_EQ(choose("mnuPreview"), QStringList({"You must enter information in all the boxes"}));

  EXPECT_EQ(reportCount(), before);
  choose("mnuOpenLastReport");
  const QStringList opened = desktop.opened(2);
  ASSERT_EQ(opened.size(), 2);
  EXPECT_EQ(opened[1], opened[0]);
}

// A prefix that would cut a model is asked about, No the default; Yes
// converts, and the report lists the guns. A preview tells without asking.
TEST_F(WindowReportMenu, APrefixThatCutsAModelIsAskedAbout) {
  gunbook::GunRecord longModel = gun("A1", "20040301", kBlankDate, "PAWN");
  longModel.Field06 = "1911 RANGE OFC";
  fs::remove(fs::path(newFolder) / "FILE3.DAT");
  makeBook(newFolder, {longModel});
  const std::string newBefore = bytes(newFolder);
  w.box("Text5")->setText("vp");
  const QString found = QStringLiteral(
      "The prefix VP does not fit in front of the model of 1 gun carried into the new book "
      "(stock numbers A1): the model holds 15 characters, so each would lose its last "
      "characters.");

  const auto box = form::MessageBox::build(nullptr, form::MessageBox::Question, found);
  EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
  EXPECT_EQ(box->escapeButton(), box->button(QMessageBox::No));

  // The preview's result comes before "Finished", the cut models among it.
  const QStringList previewed = choose("mnuPreview");
  ASSERT_EQ(previewed.size(), 4);
  EXPECT_EQ(previewed.mid(0, 2), QStringList({kCounts, found}));
  EXPECT_TRUE(previewed[2].startsWith("Preview: what the run would do\n"));
  EXPECT_TRUE(previewed[2].contains("models the prefix would cut (Field06 holds 15 characters): "
                                    "1 carried-over entries, stock numbers A1\n"));
  EXPECT_EQ(previewed[3], "Finished");
  // Answered OK, which is not Yes.
  EXPECT_EQ(press("BeginConversion"), QStringList({kCounts, found + " Convert and cut them?",
                                                   "Finished"}));
  EXPECT_EQ(bytes(newFolder), newBefore);

  WindowDriver::answerBoxes(form::MessageBox::Ok);
  WindowDriver::answerBoxes(form::MessageBox::Yes);
  EXPECT_EQ(press("BeginConversion").last(), "Finished");
  EXPECT_EQ(findEntry(readBook(newFolder), "A1")->Field06, "VP1911 RANGE OF");
  choose("mnuOpenLastReport");
  const fs::path run = desktop.opened(1).last().toStdString();
  EXPECT_NE(fileBytes(run / "summary.txt").find("carried-over entries, stock numbers A1\n"),
            std::string::npos);
}

// A run done, the focus off "Begin"; then undone from the Report menu after
// a question naming the run: No leaves the books, Yes puts both back.
TEST_F(WindowReportMenu, UndoLastRunAsksNamingTheRunAndPutsBothBooksBack) {
  const std::string oldBefore = bytes(oldFolder), newBefore = bytes(newFolder);
  ASSERT_EQ(press("BeginConversion").last(), "Finished");
  EXPECT_TRUE(w.get("Text3")->hasFocus());
  const std::string oldAfter = bytes(oldFolder), newAfter = bytes(newFolder);
  ASSERT_NE(oldAfter, oldBefore);
  const QString reports =
      QString::fromStdString((cliDataHome().path() / "varnok" / "reports").string());

  WindowDriver::answerBoxes(form::MessageBox::No);
  w.trigger("mnuUndoRun");
  QStringList shown = w.boxesShown();
  ASSERT_EQ(shown.size(), 1);
  // This window's run, whatever other tests left in the same reports folder.
  EXPECT_TRUE(QRegularExpression("before the run of " + QRegularExpression::escape(reports) +
                                 "/[0-9-]{17}-convert(-[0-9]+)?\\?")
                  .match(shown[0])
                  .hasMatch())
      << shown[0].toStdString();
  EXPECT_EQ(bytes(oldFolder), oldAfter);

  WindowDriver::answerBoxes(form::MessageBox::Yes);
  WindowDriver::answerBoxes(form::MessageBox::Ok);
  w.trigger("mnuUndoRun");
  shown = w.boxesShown();
  ASSERT_EQ(shown.size(), 2);
  EXPECT_TRUE(shown[1].startsWith("The books are back")) << shown[1].toStdString();
  EXPECT_EQ(bytes(oldFolder), oldBefore);
  EXPECT_EQ(bytes(newFolder), newBefore);
}

}  // namespace
}  // namespace varnok::testing
