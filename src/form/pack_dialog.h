// "Print inspector pack...": the small dialog that asks for what the pack's
// closing statement names (both licence numbers, the operator) and its
// paper, and what follows: the pack made in the run's report folder, then
// opened with the desktop's viewer or sent to a printer.
#pragma once

#include <QDialog>
#include <filesystem>

#include "pack/pack.h"
#include "recordmanager/record_manager.h"
#include "report/summary.h"

class QLineEdit;
class QRadioButton;

namespace varnok::form {

// Its controls, by objectName: `PreviousLicence`, `NewLicence`,
// `OperatorName`, `PaperLetter`, `PaperA4`, `OpenPack`, `PrintPack`, and
// the buttons OK and Cancel.
class PackDialog final : public QDialog {
  Q_OBJECT

 public:
  // For the run of `reportFolder`, prefilled with `details` (what its
  // summary records), Letter, and opening the PDF.
  PackDialog(const std::filesystem::path& reportFolder, const report::LicenceDetails& details,
             QWidget* parent);

  // What was entered, the licence numbers as accept() checked them.
  report::LicenceDetails details() const;
  pack::Paper paper() const;
  bool printChosen() const;

  // OK: closes only when each licence number given reads as one (written
  // back with its hyphens) and the name is on one line; otherwise says what
  // is wrong and puts the focus on that box.
  void accept() override;

 private:
  QLineEdit* previousLicence_;
  QLineEdit* newLicence_;
  QLineEdit* operatorName_;
  QRadioButton* letter_;
  QRadioButton* print_;
};

// Asks with a PackDialog prefilled from the run of `reportFolder`, makes its
// pack through `engine`, and opens or prints it. A refused pack (a book
// changed since the run, say) is told in a message naming the book; so is a
// PDF the desktop cannot open (naming the file) or a printer that refuses it.
void printInspectorPack(QWidget* parent, const std::filesystem::path& reportFolder,
                        rm::RecordManager& engine);

}  // namespace varnok::form
