// The window's Report menu: a preview that writes no book, every run's
// report folder, and the last one opened in the desktop's file manager.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>
#include <cstdlib>
#include <filesystem>

#include "support/book_fixture.h"
#include "support/cli_run.h"
#include "support/conversion_dates.h"
#include "support/window_driver.h"

namespace varnok::testing {

// Takes the URLs the window asks the desktop to open.
class OpenedUrls : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> urls;
  Q_INVOKABLE void open(const QUrl& url) { urls.append(url); }
};

namespace {

namespace fs = std::filesystem;
const QString kCounts = QStringLiteral("Number of old guns = 2 Number of new guns 1");

class WindowReportMenu : public ::testing::Test {
 protected:
  void SetUp() override {
    makeBook(oldFolder, {gun("A1", "20040301", kBlankDate, "PAWN"),
                         gun("A3", "20040320", kBlankDate, "SALE")});
    makeBook(newFolder, {gun("A1", "20040301", kBlankDate, "PAWN"),
                         gun("A2", "20040310", "20040312", "SOLD")});
    ASSERT_TRUE(w.show());
    w.fillIn(oldFolder, newFolder);
    QDesktopServices::setUrlHandler("file", &opened, "open");
  }
  void TearDown() override { QDesktopServices::unsetUrlHandler("file"); }

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
  OpenedUrls opened;
};

TEST_F(WindowReportMenu, PreviewWritesNoBookAndOpenLastReportShowsItsReport) {
  const std::string oldBefore = bytes(oldFolder), newBefore = bytes(newFolder);
  const QStringList shown = choose("mnuPreview");
  ASSERT_FALSE(shown.isEmpty());
  EXPECT_EQ(shown.last(), "Finished");
  EXPECT_EQ(bytes(oldFolder), oldBefore);
  EXPECT_EQ(bytes(newFolder), newBefore);

  EXPECT_TRUE(choose("mnuOpenLastReport").isEmpty());
  ASSERT_EQ(opened.urls.size(), 1);
  const fs::path report = opened.urls[0].toLocalFile().toStdString();
  EXPECT_EQ(report.parent_path(), cliDataHome().path() / "varnok" / "reports");
  EXPECT_EQ(report.filename().string().substr(18), "preview");
  const std::string changes = fileBytes(report / "changes.csv");
  EXPECT_NE(changes.find("new,A2,removed,entry,\"A2,"), std::string::npos) << changes;
  EXPECT_NE(fileBytes(report / "summary.txt").find("the books reconcile"), std::string::npos);

  // A real run then: its report is the last one, with the books' backups.
  EXPECT_EQ(press("BeginConversion").last(), "Finished");
  EXPECT_NE(bytes(newFolder), newBefore);
  choose("mnuOpenLastReport");
  ASSERT_EQ(opened.urls.size(), 2);
  const fs::path run = opened.urls[1].toLocalFile().toStdString();
  EXPECT_EQ(run.filename().string().substr(18), "convert");
  EXPECT_EQ(fileBytes(run / "new-FILE3.DAT"), newBefore);
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
  ASSERT_EQ(opened.urls.size(), 1);
  const fs::path reports = cliDataHome().path() / "varnok" / "reports";
  const auto reportCount = [&] { return std::distance(fs::directory_iterator(reports), {}); };
  const auto before = reportCount();

  w.box("Text2_5")->clear();
  EXPECT_EQ(press("BeginConversion"), QStringList({"You must enter information in all the boxes"}));
  EXPECT_EQ(choose("mnuPreview"), QStringList({"You must enter information in all the boxes"}));

  EXPECT_EQ(reportCount(), before);
  choose("mnuOpenLastReport");
  ASSERT_EQ(opened.urls.size(), 2);
  EXPECT_EQ(opened.urls[1], opened.urls[0]);
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

  EXPECT_EQ(choose("mnuPreview"), QStringList({kCounts, found, "Finished"}));
  // Answered OK, which is not Yes.
  EXPECT_EQ(press("BeginConversion"), QStringList({kCounts, found + " Convert and cut them?",
                                                   "Finished"}));
  EXPECT_EQ(bytes(newFolder), newBefore);

  WindowDriver::answerBoxes(form::MessageBox::Ok);
  WindowDriver::answerBoxes(form::MessageBox::Yes);
  EXPECT_EQ(press("BeginConversion").last(), "Finished");
  EXPECT_EQ(findEntry(readBook(newFolder), "A1")->Field06, "VP1911 RANGE OF");
  choose("mnuOpenLastReport");
  const fs::path run = opened.urls.last().toLocalFile().toStdString();
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

#include "report_menu_test.moc"
