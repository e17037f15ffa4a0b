// The conversion window: the two book folders, the conversion
// date, the previous and the new licensee, the prefix and the two options;
// "Begin" runs the conversion, the hidden "Fix" the late disposal transfer.
//
// Every handler but initialize runs under its own error trap, whose reports
// name the handler as the window always has (module Brelmark, procedure
// Text1_Validate, ...). The checks made as the focus leaves a box run only
// for focus moves made by the keyboard or the mouse inside the window,
// after the move, so that the message box a check raises never raises the
// check again.
#pragma once

#include <QList>
#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

#include <filesystem>

#include "conversion/converter.h"
#include "form/close_request.h"
#include "form/run_status.h"
#include "form/window_view.h"
#include "recordmanager/record_manager.h"
#include "report/run_report.h"

class QFocusEvent;
class QKeyEvent;
class QLineEdit;

namespace Ui {
class MainWindow;
}

namespace varnok::form {

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(rm::RecordManager& recordManager = rm::bookEngine(),
                    QWidget* parent = nullptr);
  ~MainWindow() override;

  // True while a conversion or a transfer runs.
  bool working() const { return working_; }
  // The factor the drawn places were scaled by to fit the font.
  double scale() const { return scale_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void initialize();
  void load();
  void beginClicked();
  void fixClicked();
  void exitClicked();
  void dateBoxEntered();
  void dateBoxKey(int& key);
  bool dateBoxValid();
  void keepReceivedFromChosen();
  void keepDateInChosen();
  void previewChosen();
  void openLastReportChosen();
  void undoRunChosen();
  void printPackChosen();
  void shelfCountChosen();
  void previousLicenseeBoxEntered(int index);
  void previousLicenseeKey(int index, int& key);
  bool previousLicenseeBoxValid(int index);
  void newLicenseeKey(int index, int& key);
  void oldBookFolderKey(int& key);
  void newBookFolderKey(int& key);

  void connectControls();
  // Escape leaves, as the exit button does; F10 opens the menu bar.
  void addWindowKeys();
  // A close the window manager asked for: now, or once the run ends.
  void closeAskedFor();
  // Hands Enter and Tab to the box's key handler; true when it took the key.
  bool keyPressed(QObject* box, QKeyEvent* event);
  void focusEntered(QObject* box, QFocusEvent* event);
  void focusLeft(QObject* box, QFocusEvent* event);
  // One Tab keystroke for the window, handled after the current event.
  void sendTab();
  void queueCheck(std::function<bool()> check);
  // Runs the checks queued by focus moves; false when one failed.
  bool runQueuedChecks();
  // Runs a conversion procedure with the window closed to input, through
  // a run report of its own (a preview writes no book).
  void work(void (conversion::Converter::*procedure)(), report::Mode mode = report::Mode::Run);
  // Shows why a backup or the change report could not be written, then
  // writes the report's summary; says on the status line what the run came
  // to and shows a preview's result.
  void finishReport(report::RunReport& runReport, report::RunKind kind, report::Mode mode);

  // The record manager the converter calls: the book engine, or during a
  // run the run report's recording record manager in front of it.
  struct RunRecordManager final : rm::RecordManager {
    explicit RunRecordManager(rm::RecordManager& engine) : engine(engine), current(&engine) {}
    int16_t call(uint16_t operation, void* positionBlock, void* dataBuffer, uint16_t* dataLength,
                 void* keyBuffer, uint16_t keyLength, int16_t keyNumber) override {
      return current->call(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                           keyNumber);
    }
    rm::RecordManager& engine;
    rm::RecordManager* current;
  };

  std::unique_ptr<Ui::MainWindow> ui_;
  WindowView view_;
  RunRecordManager recordManager_;
  conversion::Converter converter_;
  std::filesystem::path lastReport_;  // the folder of this window's last run
  // That folder, or the newest one kept in `reports` (empty when none).
  std::filesystem::path lastRunFolder(const std::filesystem::path& reports) const;
  RunStatusLine* runStatus_ = nullptr;
  std::array<QLineEdit*, 6> text1_{};
  std::array<QLineEdit*, 6> text2_{};
  QList<std::function<bool()>> queuedChecks_;
  double scale_ = 1.0;
  bool working_ = false;
  bool closeRequested_ = false;
  std::unique_ptr<CloseRequestWatch> closeWatch_;
};

}  // namespace varnok::form
