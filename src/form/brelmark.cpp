// The window's construction, and how events reach its handlers.
#include "form/brelmark.h"
#include "form/storable_text.h"

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
#include "report/report_folder.h"
#include "report/run_report.h"
#include "ui_brelmark.h"

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

Brelmark::Brelmark(rm::RecordManager& recordManager, QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::Brelmark>()), view_(*this),
      recordManager_(recordManager), converter_(view_, recordManager_) {
  errortrap::setDefaultReporter(&view_);
  Form_Initialize();
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
  Form_Load();
}

Brelmark::~Brelmark() {
  if (errortrap::defaultReporter() == &view_) errortrap::setDefaultReporter(nullptr);
}

void Brelmark::connectControls() {
  connect(ui_->BeginConversion, &QPushButton::clicked, this, [this] { BeginConversion_Click(); });
  connect(ui_->Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
  connect(ui_->ExitVarnok, &QPushButton::clicked, this, [this] { ExitVarnok_Click(); });
  connect(ui_->mnuOption1, &QAction::triggered, this, [this] { mnuOption1_Click(); });
  connect(ui_->mnuOption2, &QAction::triggered, this, [this] { mnuOption2_Click(); });
  connect(ui_->mnuPreview, &QAction::triggered, this, [this] { mnuPreview_Click(); });
  connect(ui_->mnuOpenLastReport, &QAction::triggered, this, [this] { mnuOpenLastReport_Click(); });
  connect(ui_->mnuUndoRun, &QAction::triggered, this, [this] { mnuUndoRun_Click(); });
  connect(ui_->mnuPrintPack, &QAction::triggered, this, [this] { mnuPrintPack_Click(); });
  connect(ui_->mnuShelfCount, &QAction::triggered, this, [this] { mnuShelfCount_Click(); });
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

void Brelmark::addWindowKeys() {
  // A click on the exit button leaves the focus where it is, so no check of
  // the box just left stands between the operator and the way out.
  ui_->ExitVarnok->setFocusPolicy(Qt::TabFocus);
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
          [this] { ExitVarnok_Click(); });
  connect(new QShortcut(QKeySequence(Qt::Key_F10), this), &QShortcut::activated, this,
          [this] { menuBar()->setActiveAction(ui_->mnufile->menuAction()); });
}

void Brelmark::closeAskedFor() {
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

bool Brelmark::eventFilter(QObject* watched, QEvent* event) {
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

bool Brelmark::keyPressed(QObject* box, QKeyEvent* event) {
  // A key held with Alt or Meta is a shortcut or nothing: one that no menu
  // took must not type its letter into a box, and so into a book.
  if (event->modifiers() & (Qt::AltModifier | Qt::MetaModifier)) return true;
  const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  int KeyAscii = 0;
  if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) KeyAscii = 13;
  if (plain && event->key() == Qt::Key_Tab) KeyAscii = 9;
  if (KeyAscii == 0) return false;  // no handler acts on any other key

  if (box == ui_->MaskEdBox1) {
    MaskEdBox1_KeyPress(KeyAscii);
  } else if (box == ui_->Text3) {
    Text3_KeyPress(KeyAscii);
  } else if (box == ui_->Text4) {
    Text4_KeyPress(KeyAscii);
  } else {
    for (int i = 0; i < 6; ++i) {
      if (box == text1_[i]) Text1_KeyPress(i, KeyAscii);
      if (box == text2_[i]) Text2_KeyPress(i, KeyAscii);
    }
  }
  return KeyAscii == 0;
}

void Brelmark::focusEntered(QObject* box, QFocusEvent* event) {
  // The mask goes on before the box shows the focus, whatever brought it.
  if (box == ui_->MaskEdBox1) MaskEdBox1_GotFocus();
  if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
    return;
  for (int i = 0; i < 6; ++i) {
    if (box != text1_[i]) continue;
    // After the focus change is complete: the guard may move the focus on.
    QMetaObject::invokeMethod(this, [this, i] { Text1_GotFocus(i); }, Qt::QueuedConnection);
  }
}

void Brelmark::focusLeft(QObject* box, QFocusEvent* event) {
  if (!movedByOperator(event->reason())) return;
  if (box == ui_->MaskEdBox1) queueCheck([this] { return MaskEdBox1_Validate(); });
  for (int i = 0; i < 6; ++i) {
    if (box == text1_[i]) queueCheck([this, i] { return Text1_Validate(i); });
  }
}

void Brelmark::sendTab() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        // Not while a message box holds the focus.
        if (!QApplication::activeModalWidget()) focusNextChild();
      },
      Qt::QueuedConnection);
}

void Brelmark::queueCheck(std::function<bool()> check) {
  queuedChecks_.append(std::move(check));
  QMetaObject::invokeMethod(this, [this] { runQueuedChecks(); }, Qt::QueuedConnection);
}

bool Brelmark::runQueuedChecks() {
  bool passed = true;
  while (!queuedChecks_.isEmpty()) {
    if (!queuedChecks_.takeFirst()()) passed = false;
  }
  return passed;
}

void Brelmark::work(void (conversion::Converter::*procedure)(), report::Mode mode) {
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
    runReport = std::make_unique<report::RunReport>(kind, mode, report::defaultReportsFolder(),
                                                    conversion::FormValues::readFrom(view_),
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
void Brelmark::finishReport(report::RunReport& runReport, report::RunKind kind,
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

void Brelmark::closeEvent(QCloseEvent* event) {
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
