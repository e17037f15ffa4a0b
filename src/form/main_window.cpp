// The window's construction, and how events reach its handlers.
#include "form/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaObject>
#include <QRegularExpression>
#include <QShortcut>

#include "errortrap/trap.h"
#include "form/exit_icon.h"
#include "form/layout_scale.h"
#include "form/message_box.h"
#include "form/report_dialog.h"
#include "form/screen_fit.h"
#include "form/storable_text.h"
#include "report/run_report.h"
#include "reportfolder/report_folder.h"
#include "ui_main_window.h"

namespace varnok::form {
namespace {

// Drops keyboard and mouse input meant for one window while it works.
class InputBlocker final : public QObject {
 public:
  explicit InputBlocker(QWidget& window) : window_(window) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!isInput(event->type())) return false;
    const auto* widget = qobject_cast<QWidget*>(watched);
    return widget && widget->window() == &window_;
  }

 private:
  static bool isInput(QEvent::Type type) {
    switch (type) {
      case QEvent::KeyPress: case QEvent::KeyRelease: case QEvent::ShortcutOverride:
      case QEvent::MouseButtonPress: case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick: case QEvent::Wheel: case QEvent::ContextMenu:
        return true;
      default:
        return false;
    }
  }

  QWidget& window_;
};

constexpr const char* kNoReport =
    "No book was opened: the run's report folder could not be made: ";
constexpr const char* kReportIncomplete = "The run's report could not be finished: ";

// Focus moves the operator makes inside the window; not the focus going to
// or coming back from a message box, a menu or another application, nor a
// move the program makes.
bool movedByOperator(Qt::FocusReason reason) {
  return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
         reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason;
}

}  // namespace

MainWindow::MainWindow(rm::RecordManager& recordManager, QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::MainWindow>()), view_(*this),
      recordManager_(recordManager), converter_(view_, recordManager_) {
  errortrap::setDefaultReporter(&view_);
  initialize();
  ui_->setupUi(this);
  text1_ = {ui_->Text1_0, ui_->Text1_1, ui_->Text1_2, ui_->Text1_3, ui_->Text1_4, ui_->Text1_5};
  text2_ = {ui_->Text2_0, ui_->Text2_1, ui_->Text2_2, ui_->Text2_3, ui_->Text2_4, ui_->Text2_5};
  ui_->ExitVarnok->setIcon(exitIcon());
  runStatus_ = new RunStatusLine(*this);
  scale_ = scaleToFont(*ui_->centralwidget);
  fitToScreen(*this);
  connectControls();
  addWindowKeys();
  closeWatch_ = std::make_unique<CloseRequestWatch>(*this, [this] { closeAskedFor(); });
  ui_->Text3->setFocus();
  load();
}

MainWindow::~MainWindow() {
  if (errortrap::defaultReporter() == &view_) errortrap::setDefaultReporter(nullptr);
}

void MainWindow::connectControls() {
  connect(ui_->BeginConversion, &QPushButton::clicked, this, [this] { beginClicked(); });
  connect(ui_->Command1, &QPushButton::clicked, this, [this] { fixClicked(); });
  connect(ui_->ExitVarnok, &QPushButton::clicked, this, [this] { exitClicked(); });
  connect(ui_->mnuOption1, &QAction::triggered, this, [this] { keepReceivedFromChosen(); });
  connect(ui_->mnuOption2, &QAction::triggered, this, [this] { keepDateInChosen(); });
  connect(ui_->mnuPreview, &QAction::triggered, this, [this] { previewChosen(); });
  connect(ui_->mnuOpenLastReport, &QAction::triggered, this, [this] { openLastReportChosen(); });
  connect(ui_->mnuUndoRun, &QAction::triggered, this, [this] { undoRunChosen(); });
  connect(ui_->mnuPrintPack, &QAction::triggered, this, [this] { printPackChosen(); });
  connect(ui_->mnuShelfCount, &QAction::triggered, this, [this] { shelfCountChosen(); });
  // Check1 is mnuOption1 on the form: whichever changes, both show it.
  connect(ui_->Check1, &QCheckBox::toggled, ui_->mnuOption1, &QAction::setChecked);
  connect(ui_->mnuOption1, &QAction::toggled, ui_->Check1, &QCheckBox::setChecked);
  for (QLineEdit* box : findChildren<QLineEdit*>()) box->installEventFilter(this);
  // What is written into a book takes only what a book can hold.
  auto* storable = new StorableText(this);
  for (QLineEdit* box : text1_) storable->guard(*box);
  for (QLineEdit* box : text2_) storable->guard(*box);
  storable->guard(*ui_->Text5);
}

void MainWindow::addWindowKeys() {
  // A click on the exit button leaves the focus where it is, so no check of
  // the box just left stands between the operator and the way out.
  ui_->ExitVarnok->setFocusPolicy(Qt::TabFocus);
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
          [this] { exitClicked(); });
  connect(new QShortcut(QKeySequence(Qt::Key_F10), this), &QShortcut::activated, this,
          [this] { menuBar()->setActiveAction(ui_->mnufile->menuAction()); });
}

void MainWindow::closeAskedFor() {
  if (working_) {
    closeRequested_ = true;  // Qt drops it while the run's boxes show
    return;
  }
  // Outside a run only a message box with its OK can hold the window: it
  // goes, and so does the window. An error report waits for its answer.
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (!box || box->standardButtons() != QMessageBox::Ok) return;
  box->close();
  QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress: return keyPressed(watched, static_cast<QKeyEvent*>(event));
    case QEvent::FocusIn: focusEntered(watched, static_cast<QFocusEvent*>(event)); break;
    case QEvent::FocusOut: focusLeft(watched, static_cast<QFocusEvent*>(event)); break;
    case QEvent::MouseButtonRelease:
      // A click anywhere in the empty date box starts the typing at its first
      // digit: the click would leave the cursor past the mask's last place,
      // where typed digits go nowhere.
      if (watched == ui_->MaskEdBox1 && !ui_->MaskEdBox1->text().contains(QRegularExpression("[0-9]")))
        ui_->MaskEdBox1->setCursorPosition(0);
      break;
    default: break;
  }
  return false;
}

bool MainWindow::keyPressed(QObject* box, QKeyEvent* event) {
  // A key held with Alt or Meta is a shortcut or nothing: one that no menu
  // took must not type its letter into a box, and so into a book.
  if (event->modifiers() & (Qt::AltModifier | Qt::MetaModifier)) return true;
  const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  int key = 0;
  if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) key = 13;
  if (plain && event->key() == Qt::Key_Tab) key = 9;
  if (key == 0) return false;  // no handler acts on any other key

  if (box == ui_->MaskEdBox1) {
    dateBoxKey(key);
  } else if (box == ui_->Text3) {
    oldBookFolderKey(key);
  } else if (box == ui_->Text4) {
    newBookFolderKey(key);
  } else {
    for (int i = 0; i < 6; ++i) {
      if (box == text1_[i]) previousLicenseeKey(i, key);
      if (box == text2_[i]) newLicenseeKey(i, key);
    }
  }
  return key == 0;
}

void MainWindow::focusEntered(QObject* box, QFocusEvent* event) {
  // The mask goes on before the box shows the focus, whatever brought it.
  if (box == ui_->MaskEdBox1) dateBoxEntered();
  if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
    return;
  for (int i = 0; i < 6; ++i) {
    if (box != text1_[i]) continue;
    // After the focus change is complete: the guard may move the focus on.
    QMetaObject::invokeMethod(this, [this, i] { previousLicenseeBoxEntered(i); }, Qt::QueuedConnection);
  }
}

void MainWindow::focusLeft(QObject* box, QFocusEvent* event) {
  if (!movedByOperator(event->reason())) return;
  if (box == ui_->MaskEdBox1) queueCheck([this] { return dateBoxValid(); });
  for (int i = 0; i < 6; ++i) {
    if (box == text1_[i]) queueCheck([this, i] { return previousLicenseeBoxValid(i); });
  }
}

void MainWindow::sendTab() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        // Not while a message box holds the focus.
        if (!QApplication::activeModalWidget()) focusNextChild();
      },
      Qt::QueuedConnection);
}

void MainWindow::queueCheck(std::function<bool()> check) {
  queuedChecks_.append(std::move(check));
  QMetaObject::invokeMethod(this, [this] { runQueuedChecks(); }, Qt::QueuedConnection);
}

bool MainWindow::runQueuedChecks() {
  bool passed = true;
  while (!queuedChecks_.isEmpty()) {
    if (!queuedChecks_.takeFirst()()) passed = false;
  }
  return passed;
}

void MainWindow::work(void (conversion::Converter::*procedure)(), report::Mode mode) {
  // A press that left a box failing its check is not acted on: the check
  // has put the focus back on that box.
  if (working_ || !runQueuedChecks()) return;
  const auto kind = procedure == &conversion::Converter::transferLateDisposals
                        ? report::RunKind::Fix
                        : report::RunKind::Convert;
  // A refused input opens no book, so it leaves no report to open later.
  if (kind == report::RunKind::Fix ? converter_.refuseTransferInput()
                                   : converter_.refuseConversionInput())
    return;
  std::unique_ptr<report::RunReport> runReport;
  try {
    runReport = std::make_unique<report::RunReport>(
        kind, mode, reportfolder::defaultReportsFolder(), conversion::FormValues::readFrom(view_),
        recordManager_.engine);
  } catch (const std::exception& error) {
    MessageBox::information(this, QString::fromUtf8(kNoReport) + QString::fromUtf8(error.what()));
    return;
  }
  lastReport_ = runReport->folder();
  runStatus_->showText({});
  working_ = true;
  InputBlocker blocker(*this);
  qApp->installEventFilter(&blocker);
  recordManager_.current = &runReport->recordManager();
  converter_.previewOnly = mode == report::Mode::Preview;
  converter_.refusalDetails = [&] { return runReport->problems(); };
  converter_.earlierConversion = [&] { return runReport->earlierConversionOfTheBooks().string(); };
  // The report is complete by the time "Finished" shows; a transfer, which
  // ends without a message, has it finished once it returns.
  bool reported = false;
  view_.beforeMessage = [&](const std::string& text) {
    if (text != conversion::msg::Finished || reported) return;
    finishReport(*runReport, kind, mode);
    reported = true;
  };
  (converter_.*procedure)();
  view_.beforeMessage = nullptr;
  converter_.refusalDetails = nullptr;
  converter_.earlierConversion = nullptr;
  // Not on "Begin": one more Enter must not convert the books again.
  ui_->Text3->setFocus(Qt::OtherFocusReason);
  recordManager_.current = &recordManager_.engine;
  if (!reported) finishReport(*runReport, kind, mode);
  qApp->removeEventFilter(&blocker);
  working_ = false;
  if (closeRequested_) close();
}

// Why a backup or the change report could not be written (unless told with
// a book that would not open), then the report finished; a report that
// cannot be finished says why.
void MainWindow::finishReport(report::RunReport& runReport, report::RunKind kind,
                            report::Mode mode) {
  const std::vector<std::string>& problems = runReport.problems();
  for (std::size_t i = converter_.refusalDetailsTold(); i < problems.size(); ++i)
    MessageBox::information(this, QString::fromStdString(problems[i]));
  try {
    runReport.finish(converter_);
  } catch (const std::exception& error) {
    MessageBox::information(this, QString::fromUtf8(kReportIncomplete) +
                                      QString::fromUtf8(error.what()));
  }
  runStatus_->showRun(runReport, converter_, kind, mode);
  if (mode == report::Mode::Preview &&
      converter_.outcome() == conversion::Converter::Outcome::Completed)
    ReportDialog::show(this, QStringLiteral("Preview: what the run would do"),
                       QString::fromStdString(runReport.previewText(converter_.cutModels())),
                       QStringLiteral("preview.txt"));
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (working_) {
    // The run goes to its end; the window closes then.
    closeRequested_ = true;
    event->ignore();
    return;
  }
  // Leaving ends the program: the checks of boxes just left no longer matter.
  queuedChecks_.clear();
  event->accept();
}

}  // namespace varnok::form
