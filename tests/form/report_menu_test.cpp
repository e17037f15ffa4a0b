// The window's Report menu: a preview that writes no book, every run's
// report folder, and the last one opened in the desktop's file manager.
#include <gtest/gtest.h>

#include <QDesktopServices>
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
  EXPECT_NE(changes.find("new,A2,removed,Field00,A2,"), std::string::npos) << changes;
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

}  // namespace
}  // namespace varnok::testing

#include "report_menu_test.moc"
