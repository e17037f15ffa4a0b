// The window's event handlers (their error reports name the module Brelmark).
#include <QLineEdit>

#include "conversion/date_check.h"
#include "errortrap/crash_filter.h"
#include "errortrap/trap.h"
#include "form/folder_opener.h"
#include "form/main_window.h"
#include "form/message_box.h"
#include "form/pack_dialog.h"
#include "form/shelf_count_dialog.h"
#include "form/upper_case.h"
#include "reportfolder/report_folder.h"
#include "restore/run_recovery.h"
#include "restore/run_undo.h"
#include "ui_main_window.h"

namespace varnok::form {
namespace {

constexpr const char* kModule = "Brelmark";
// Month/day/year, two, two and four digits, "_" where nothing is typed yet.
const QString kDateMask = QStringLiteral("99/99/9999;_");
constexpr const char* kEnterAValue = "You must enter a value";

bool isAdvanceKey(int key) { return key == 13 || key == 9; }

}  // namespace

using conversion::Shown;
using conversion::TextBox;

void MainWindow::initialize() { errortrap::installCrashFilter(); }

void MainWindow::load() {
  errortrap::Trap T(kModule, "Form_Load", &view_);
  T([&] { view_.setVisible(Shown::OldBookLabel, false); });
  T([&] { view_.setVisible(Shown::NewBookLabel, false); });
  T([&] { view_.setVisible(Shown::OldBookBar, false); });
  T([&] { view_.setVisible(Shown::NewBookBar, false); });
}

// The run and the transfer have traps of their own.
void MainWindow::beginClicked() { work(&conversion::Converter::runConversion); }

void MainWindow::fixClicked() { work(&conversion::Converter::transferLateDisposals); }

void MainWindow::exitClicked() {
  errortrap::Trap T(kModule, "ExitVarnok_Click", &view_);
  T([&] { close(); });
}

void MainWindow::dateBoxEntered() {
  errortrap::Trap T(kModule, "MaskEdBox1_GotFocus", &view_);
  T([&] {
    if (ui_->MaskEdBox1->inputMask() != kDateMask) ui_->MaskEdBox1->setInputMask(kDateMask);
  });
}

void MainWindow::dateBoxKey(int& key) {
  errortrap::Trap T(kModule, "MaskEdBox1_KeyPress", &view_);
  if (!isAdvanceKey(key)) return;
  key = 0;
  T([&] { sendTab(); });
}

bool MainWindow::dateBoxValid() {
  errortrap::Trap T(kModule, "MaskEdBox1_Validate", &view_);
  bool valid = true;
  T([&] { valid = conversion::isValidDate(view_.text(TextBox::ConversionDate, 0)); });
  if (valid) return true;
  T([&] { view_.messageBox(conversion::msg::ValidDate); });
  T([&] { ui_->MaskEdBox1->setFocus(); });
  // All of it selected: the next date typed replaces it from the first digit.
  T([&] { ui_->MaskEdBox1->selectAll(); });
  return false;
}

// The items are checkable: choosing one toggles its check mark, which is
// where the option is held.
void MainWindow::keepReceivedFromChosen() { errortrap::Trap T(kModule, "mnuOption1_Click", &view_); }

void MainWindow::keepDateInChosen() { errortrap::Trap T(kModule, "mnuOption2_Click", &view_); }

void MainWindow::previewChosen() {
  work(&conversion::Converter::runConversion, report::Mode::Preview);
}

std::filesystem::path MainWindow::lastRunFolder(const std::filesystem::path& reports) const {
  return lastReport_.empty() ? reportfolder::newestReportFolder(reports) : lastReport_;
}

// The last run's report folder, or the newest one kept, in the desktop's
// file manager; named in a message when the desktop cannot open it.
void MainWindow::openLastReportChosen() {
  errortrap::Trap T(kModule, "mnuOpenLastReport_Click", &view_);
  T([&] {
    const std::filesystem::path reports = reportfolder::defaultReportsFolder();
    const std::filesystem::path folder = lastRunFolder(reports);
    if (folder.empty())
      return view_.messageBox("There is no report yet: each run keeps one in " + reports.string());
    // Told once xdg-open has ended, under a trap of its own.
    openFolderOnDesktop(QString::fromStdString(folder.string()), this, [this, folder] {
      errortrap::Trap told(kModule, "mnuOpenLastReport_Click", &view_);
      told([&] { view_.messageBox("The last report is in " + folder.string()); });
    });
  });
}

// Both books of the last run (this window's, or the newest report kept) put
// back from its backups, once the operator has said Yes to the run named.
void MainWindow::undoRunChosen() {
  errortrap::Trap T(kModule, "mnuUndoRun_Click", &view_);
  T([&] {
    const std::filesystem::path reports = reportfolder::defaultReportsFolder();
    // An undo stopped half-way is rolled back first.
    restore::recoverInterruptedRuns(reports, recordManager_.engine);
    const std::filesystem::path run = lastRunFolder(reports);
    if (run.empty()) return view_.messageBox("There is no run to undo in " + reports.string());
    if (!MessageBox::question(this, QString::fromStdString(
                                        "Put the books back as they were before the run of " +
                                        run.string() + "? Only books still exactly as that run "
                                        "left them are put back, all of them or none.")))
      return;
    restore::UndoneRun undone;
    const auto outcome = restore::undoRun(recordManager_.engine, run, reports,
                                          std::chrono::system_clock::now(), undone);
    if (!outcome.ok) return view_.messageBox("The run was not undone: " + outcome.problem);
    lastReport_ = undone.reportFolder;
    runStatus_->showText(QString::fromStdString("Undone: the books are back as they were before "
                                                "the run of " + run.string() + ".\nReport: " +
                                                undone.reportFolder.string()));
    view_.messageBox("The books are back as they were before the run of " + run.string() +
                     ". The books it replaced are kept in " + undone.reportFolder.string());
  });
}

// The inspector's pack of the last run (this window's, or the newest report
// kept), asked for, made and then opened or printed.
void MainWindow::printPackChosen() {
  errortrap::Trap T(kModule, "mnuPrintPack_Click", &view_);
  T([&] {
    const std::filesystem::path reports = reportfolder::defaultReportsFolder();
    const std::filesystem::path run = lastRunFolder(reports);
    if (run.empty())
      return view_.messageBox("There is no run to make a pack of in " + reports.string());
    printInspectorPack(this, run, recordManager_.engine);
  });
}

void MainWindow::shelfCountChosen() {
  errortrap::Trap T(kModule, "mnuShelfCount_Click", &view_);
  T([&] { countTheShelf(*this, view_, recordManager_.engine); });
}

void MainWindow::previousLicenseeBoxEntered(int index) {
  errortrap::Trap T(kModule, "Text1_GotFocus", &view_);
  // Only the last name is guarded, and only while it still holds the focus.
  if (index != 0 || !text1_[0]->hasFocus()) return;
  T([&] {
    if (!conversion::isValidDate(view_.text(TextBox::ConversionDate, 0)))
      ui_->MaskEdBox1->setFocus();
  });
}

void MainWindow::previousLicenseeKey(int index, int& key) {
  errortrap::Trap T(kModule, "Text1_KeyPress", &view_);
  if (!isAdvanceKey(key)) return;
  key = 0;
  T([&] { text1_.at(index)->setText(toUpperForBook(text1_.at(index)->text())); });
  T([&] { sendTab(); });
}

bool MainWindow::previousLicenseeBoxValid(int index) {
  errortrap::Trap T(kModule, "Text1_Validate", &view_);
  bool empty = false;
  T([&] { empty = view_.text(TextBox::PreviousLicensee, index).empty(); });
  if (!empty) return true;
  T([&] { view_.messageBox(kEnterAValue); });
  T([&] { text1_.at(index)->setFocus(); });
  return false;
}

void MainWindow::newLicenseeKey(int index, int& key) {
  errortrap::Trap T(kModule, "Text2_KeyPress", &view_);
  if (!isAdvanceKey(key)) return;
  key = 0;
  T([&] { text2_.at(index)->setText(toUpperForBook(text2_.at(index)->text())); });
  T([&] { sendTab(); });
}

void MainWindow::oldBookFolderKey(int& key) {
  errortrap::Trap T(kModule, "Text3_KeyPress", &view_);
  if (!isAdvanceKey(key)) return;
  key = 0;
  T([&] { sendTab(); });
}

void MainWindow::newBookFolderKey(int& key) {
  errortrap::Trap T(kModule, "Text4_KeyPress", &view_);
  if (!isAdvanceKey(key)) return;
  key = 0;
  T([&] { sendTab(); });
}

}  // namespace varnok::form
