// The window's event handlers (module Brelmark).
#include <QLineEdit>

#include "conversion/date_check.h"
#include "errortrap/crash_filter.h"
#include "errortrap/trap.h"
#include "form/brelmark.h"
#include "form/folder_opener.h"
#include "form/shelf_count_dialog.h"
#include "form/upper_case.h"
#include "form/message_box.h"
#include "form/pack_dialog.h"
#include "report/report_folder.h"
#include "report/run_ledger.h"
#include "report/run_undo.h"
#include "ui_brelmark.h"

namespace varnok::form {
namespace {

constexpr const char* kModule = "Brelmark";
// Month/day/year, two, two and four digits, "_" where nothing is typed yet.
const QString kDateMask = QStringLiteral("99/99/9999;_");
constexpr const char* kEnterAValue = "You must enter a value";

bool isAdvanceKey(int KeyAscii) { return KeyAscii == 13 || KeyAscii == 9; }

}  // namespace

using conversion::Shown;
using conversion::TextBox;

void Brelmark::Form_Initialize() { errortrap::installCrashFilter(); }

void Brelmark::Form_Load() {
  errortrap::Trap T(kModule, "Form_Load", &view_);
  T([&] { view_.setVisible(Shown::OldBookLabel, false); });
  T([&] { view_.setVisible(Shown::NewBookLabel, false); });
  T([&] { view_.setVisible(Shown::OldBookBar, false); });
  T([&] { view_.setVisible(Shown::NewBookBar, false); });
}

// The run and the transfer have traps of their own.
void Brelmark::BeginConversion_Click() { work(&conversion::Converter::runConversion); }

void Brelmark::Command1_Click() { work(&conversion::Converter::transferLateDisposals); }

void Brelmark::ExitVarnok_Click() {
  errortrap::Trap T(kModule, "ExitVarnok_Click", &view_);
  T([&] { close(); });
}

void Brelmark::MaskEdBox1_GotFocus() {
  errortrap::Trap T(kModule, "MaskEdBox1_GotFocus", &view_);
  T([&] {
    if (ui_->MaskEdBox1->inputMask() != kDateMask) ui_->MaskEdBox1->setInputMask(kDateMask);
  });
}

void Brelmark::MaskEdBox1_KeyPress(int& KeyAscii) {
  errortrap::Trap T(kModule, "MaskEdBox1_KeyPress", &view_);
  if (!isAdvanceKey(KeyAscii)) return;
  KeyAscii = 0;
  T([&] { sendTab(); });
}

bool Brelmark::MaskEdBox1_Validate() {
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
void Brelmark::mnuOption1_Click() { errortrap::Trap T(kModule, "mnuOption1_Click", &view_); }

void Brelmark::mnuOption2_Click() { errortrap::Trap T(kModule, "mnuOption2_Click", &view_); }

void Brelmark::mnuPreview_Click() {
  work(&conversion::Converter::runConversion, report::Mode::Preview);
}

// The last run's report folder, or the newest one kept, in the desktop's
// file manager; named in a message when the desktop cannot open it.
void Brelmark::mnuOpenLastReport_Click() {
  errortrap::Trap T(kModule, "mnuOpenLastReport_Click", &view_);
  T([&] {
    const std::filesystem::path reports = report::defaultReportsFolder();
    const std::filesystem::path folder =
        lastReport_.empty() ? report::newestReportFolder(reports) : lastReport_;
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
void Brelmark::mnuUndoRun_Click() {
  errortrap::Trap T(kModule, "mnuUndoRun_Click", &view_);
  T([&] {
    const std::filesystem::path reports = report::defaultReportsFolder();
    // An undo stopped half-way is rolled back first.
    report::recoverInterruptedRuns(reports, recordManager_.engine);
    const std::filesystem::path run =
        lastReport_.empty() ? report::newestReportFolder(reports) : lastReport_;
    if (run.empty()) return view_.messageBox("There is no run to undo in " + reports.string());
    if (!MessageBox::question(this, QString::fromStdString(
                                        "Put the books back as they were before the run of " +
                                        run.string() + "? Only books still exactly as that run "
                                        "left them are put back, all of them or none.")))
      return;
    report::UndoneRun undone;
    const auto outcome = report::undoRun(recordManager_.engine, run, reports,
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
void Brelmark::mnuPrintPack_Click() {
  errortrap::Trap T(kModule, "mnuPrintPack_Click", &view_);
  T([&] {
    const std::filesystem::path reports = report::defaultReportsFolder();
    const std::filesystem::path run =
        lastReport_.empty() ? report::newestReportFolder(reports) : lastReport_;
    if (run.empty())
      return view_.messageBox("There is no run to make a pack of in " + reports.string());
    printInspectorPack(this, run, recordManager_.engine);
  });
}

void Brelmark::mnuShelfCount_Click() {
  errortrap::Trap T(kModule, "mnuShelfCount_Click", &view_);
  T([&] { countTheShelf(*this, view_, recordManager_.engine); });
}

void Brelmark::Text1_GotFocus(int index) {
  errortrap::Trap T(kModule, "Text1_GotFocus", &view_);
  // Only the last name is guarded, and only while it still holds the focus.
  if (index != 0 || !text1_[0]->hasFocus()) return;
  T([&] {
    if (!conversion::isValidDate(view_.text(TextBox::ConversionDate, 0)))
      ui_->MaskEdBox1->setFocus();
  });
}

void Brelmark::Text1_KeyPress(int index, int& KeyAscii) {
  errortrap::Trap T(kModule, "Text1_KeyPress", &view_);
  if (!isAdvanceKey(KeyAscii)) return;
  KeyAscii = 0;
  T([&] { text1_.at(index)->setText(toUpperForBook(text1_.at(index)->text())); });
  T([&] { sendTab(); });
}

bool Brelmark::Text1_Validate(int index) {
  errortrap::Trap T(kModule, "Text1_Validate", &view_);
  bool empty = false;
  T([&] { empty = view_.text(TextBox::PreviousLicensee, index).empty(); });
  if (!empty) return true;
  T([&] { view_.messageBox(kEnterAValue); });
  T([&] { text1_.at(index)->setFocus(); });
  return false;
}

void Brelmark::Text2_KeyPress(int index, int& KeyAscii) {
  errortrap::Trap T(kModule, "Text2_KeyPress", &view_);
  if (!isAdvanceKey(KeyAscii)) return;
  KeyAscii = 0;
  T([&] { text2_.at(index)->setText(toUpperForBook(text2_.at(index)->text())); });
  T([&] { sendTab(); });
}

void Brelmark::Text3_KeyPress(int& KeyAscii) {
  errortrap::Trap T(kModule, "Text3_KeyPress", &view_);
  if (!isAdvanceKey(KeyAscii)) return;
  KeyAscii = 0;
  T([&] { sendTab(); });
}

void Brelmark::Text4_KeyPress(int& KeyAscii) {
  errortrap::Trap T(kModule, "Text4_KeyPress", &view_);
  if (!isAdvanceKey(KeyAscii)) return;
  KeyAscii = 0;
  T([&] { sendTab(); });
}

}  // namespace varnok::form
