// "Print inspector pack…" in the Report menu: the dialog prefilled from the
// run's summary, a malformed licence number refused before any pack is
// made, the pack made and opened, and a changed book refused by name.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <functional>

#include "form/pack_dialog.h"
#include "reportfolder/report_folder.h"
#include "support/cli_run.h"
#include "support/window_driver.h"

namespace varnok::testing {

// Takes the files the window asks the desktop to open.
class PackViewer : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> urls;
  Q_INVOKABLE void open(const QUrl& url) { urls.append(url); }
};

namespace {

namespace fs = std::filesystem;

std::string pdfText(const fs::path& pdf) {
  const ProgramResult run = runProgram("/usr/bin/pdftotext", {pdf.string(), "-"});
  return run.exitStatus == 0 ? run.out : "pdftotext failed: " + run.err;
}

class WindowPack : public ::testing::Test {
 protected:
  void SetUp() override {
    makeMenuPair(oldFolder, newFolder);
    ASSERT_TRUE(w.show());
    QDesktopServices::setUrlHandler("file", &viewer, "open");
  }
  void TearDown() override { QDesktopServices::unsetUrlHandler("file"); }

  // Chooses the menu item; `fill` works the dialog as it shows, and whatever
  // it leaves open is cancelled. Message boxes are answered OK.
  void makePack(const std::function<void(form::PackDialog&)>& fill) {
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<form::PackDialog*>(QApplication::activeModalWidget());
      if (!dialog) return ADD_FAILURE() << "no pack dialog shows";
      fill(*dialog);
      if (dialog->isVisible()) dialog->reject();
    });
    WindowDriver::answerBoxes(form::MessageBox::Ok, 4);
    w.trigger("mnuPrintPack");
  }
  static QLineEdit* box(form::PackDialog& dialog, const char* name) {
    return dialog.findChild<QLineEdit*>(name);
  }
  static void pressOk(form::PackDialog& dialog) {
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  }

  ScratchDir dir;
  std::string oldFolder = dir.folder("old");
  std::string newFolder = dir.folder("new");
  WindowDriver w;
  PackViewer viewer;
};

TEST_F(WindowPack, AsksPrefilledRefusesAMalformedNumberThenMakesAndOpensThePack) {
  std::vector<std::string> args = {"convert", "--old", oldFolder, "--new", newFolder, "--date",
                                   "03/15/2004", "--previous-licence", "175123015k12345",
                                   "--new-licence", "1-75-123-01-6A-54321", "--operator",
                                   "ANA NÚÑEZ"};
  const char* const parts[] = {"last", "first", "address", "city", "state", "zip"};
  for (int i = 0; i < 6; ++i)
    args.insert(args.end(), {std::string("--previous-") + parts[i], WindowDriver::kPrevious[i],
                             std::string("--new-") + parts[i], WindowDriver::kNew[i]});
  const CliResult run = runCli(args);
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const fs::path pdf = run.report / "inspector-pack.pdf";

  QStringList prefilled, afterRefusal;
  bool openAfterRefusal = false, pdfAfterRefusal = true;
  makePack([&](form::PackDialog& dialog) {
    for (const char* name : {"PreviousLicence", "NewLicence", "OperatorName"})
      prefilled << box(dialog, name)->text();
    box(dialog, "PreviousLicence")->setText("1-75-123-01-55-12345");
    pressOk(dialog);
    afterRefusal = w.boxesShown();
    openAfterRefusal = dialog.isVisible();
    pdfAfterRefusal = fs::exists(pdf);
    box(dialog, "PreviousLicence")->setText(" 175123015k99999 ");
    dialog.findChild<QRadioButton*>("PaperA4")->setChecked(true);
    pressOk(dialog);
  });

  EXPECT_EQ(prefilled, QStringList({"1-75-123-01-5K-12345", "1-75-123-01-6A-54321",
                                    QString::fromUtf8("ANA NÚÑEZ")}));
  ASSERT_EQ(afterRefusal.size(), 1);
  EXPECT_TRUE(afterRefusal[0].startsWith("The previous licensee's licence number is not one: "))
      << afterRefusal[0].toStdString();
  EXPECT_TRUE(openAfterRefusal);
  EXPECT_FALSE(pdfAfterRefusal);

  EXPECT_TRUE(w.boxesShown().isEmpty());
  ASSERT_EQ(viewer.urls.size(), 1);
  EXPECT_EQ(viewer.urls[0].toLocalFile().toStdString(), pdf.string());
  const std::string text = pdfText(pdf);
  for (const char* shown : {"1-75-123-01-5K-99999", "1-75-123-01-6A-54321", "ANA NÚÑEZ"})
    EXPECT_NE(text.find(shown), std::string::npos) << shown << " not in:\n" << text;
  const ProgramResult info = runProgram("/usr/bin/pdfinfo", {pdf.string()});
  EXPECT_NE(info.out.find("(A4)"), std::string::npos) << info.out;
}

// The window's own run, then its new book written to: refused, naming the
// book; no pack, and nothing opened.
TEST_F(WindowPack, ABookChangedSinceTheRunIsRefusedByName) {
  const fs::path reports = cliDataHome().path() / "varnok" / "reports";
  const fs::path newest = reportfolder::newestReportFolder(reports);
  w.fillIn(oldFolder, newFolder);
  w.click("BeginConversion");
  ASSERT_EQ(w.boxesShown().last(), "Finished");
  const fs::path run = reportfolder::newestReportFolder(reports);
  ASSERT_NE(run, newest);
  fs::remove(fs::path(newFolder) / "FILE3.DAT");
  makeBook(newFolder, {gun("B9", "20040301", kBlankDate, "PAWN")});

  makePack([&](form::PackDialog& dialog) { pressOk(dialog); });
  const QStringList shown = w.boxesShown();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_TRUE(shown[0].startsWith("No inspector's pack was made: ")) << shown[0].toStdString();
  EXPECT_TRUE(shown[0].contains(QString::fromStdString(newFolder))) << shown[0].toStdString();
  EXPECT_TRUE(viewer.urls.isEmpty());
  EXPECT_FALSE(fs::exists(run / "inspector-pack.pdf"));
}

}  // namespace
}  // namespace varnok::testing

#include "pack_menu_test.moc"
