#include "form/pack_dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>

#include "form/message_box.h"
#include "form/pdf_printer.h"
#include "pack/licence.h"

namespace varnok::form {
namespace {

constexpr const char* kLicenceForm = "X-XX-XXX-XX-XX-XXXXX";

QLineEdit* addBox(QFormLayout& form, const QString& name, const QString& label,
                  const std::string& text, int characters) {
  auto* box = new QLineEdit(QString::fromStdString(text));
  box->setObjectName(name);
  box->setMinimumWidth(box->fontMetrics().averageCharWidth() * characters);
  form.addRow(label, box);
  return box;
}

QRadioButton* addChoice(QHBoxLayout& row, QButtonGroup& group, const QString& name,
                        const QString& label) {
  auto* choice = new QRadioButton(label);
  choice->setObjectName(name);
  group.addButton(choice);
  row.addWidget(choice);
  return choice;
}

QHBoxLayout* choiceRow(QFormLayout& form, const QString& label) {
  auto* row = new QHBoxLayout;
  form.addRow(label, row);
  return row;
}

bool onOneLine(const QString& text) {
  for (const QChar c : text)
    if (c.unicode() < 0x20 || c.unicode() == 0x7f) return false;
  return true;
}

}  // namespace

PackDialog::PackDialog(const std::filesystem::path& reportFolder,
                       const report::LicenceDetails& details, QWidget* parent)
    : QDialog(parent) {
  setObjectName("PackDialog");
  setWindowTitle("Inspector's pack");
  auto* run = new QLabel("The inspector's pack of the run in " +
                         QString::fromStdString(reportFolder.string()));
  run->setWordWrap(true);
  auto* form = new QFormLayout;
  const QString licenceHint = QStringLiteral(" (%1)").arg(kLicenceForm);
  previousLicence_ = addBox(*form, "PreviousLicence", "Previous licensee's licence number" +
                            licenceHint + ":", details.previousLicence, 24);
  newLicence_ = addBox(*form, "NewLicence", "New licensee's licence number" + licenceHint + ":",
                       details.newLicence, 24);
  operatorName_ = addBox(*form, "OperatorName", "Operator's name:", details.operatorName, 24);

  auto* papers = new QButtonGroup(this);
  QHBoxLayout* paperRow = choiceRow(*form, "Paper:");
  letter_ = addChoice(*paperRow, *papers, "PaperLetter", "&Letter");
  addChoice(*paperRow, *papers, "PaperA4", "A&4");
  letter_->setChecked(true);
  auto* afterwards = new QButtonGroup(this);
  QHBoxLayout* thenRow = choiceRow(*form, "Then:");
  addChoice(*thenRow, *afterwards, "OpenPack", "&Open it in the PDF viewer")->setChecked(true);
  print_ = addChoice(*thenRow, *afterwards, "PrintPack", "&Print it...");
  paperRow->addStretch();
  thenRow->addStretch();

  auto* note = new QLabel("A licence number left empty is printed as \"not given\".");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText("Make the pack");
  connect(buttons, &QDialogButtonBox::accepted, this, &PackDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &PackDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(run);
  layout->addLayout(form);
  layout->addWidget(note);
  layout->addWidget(buttons);
}

report::LicenceDetails PackDialog::details() const {
  return {previousLicence_->text().trimmed().toStdString(),
          newLicence_->text().trimmed().toStdString(),
          operatorName_->text().trimmed().toStdString()};
}

pack::Paper PackDialog::paper() const {
  return letter_->isChecked() ? pack::Paper::Letter : pack::Paper::A4;
}

bool PackDialog::printChosen() const { return print_->isChecked(); }

void PackDialog::accept() {
  for (const auto& [box, whose] : {std::pair{previousLicence_, "previous licensee's"},
                                   std::pair{newLicence_, "new licensee's"}}) {
    if (box->text().trimmed().isEmpty()) continue;
    std::string hyphened;
    const std::string why = pack::checkLicenceNumber(box->text().toStdString(), hyphened);
    if (why.empty()) {
      box->setText(QString::fromStdString(hyphened));
      continue;
    }
    MessageBox::information(this, QStringLiteral("The %1 licence number is not one: %2")
                                      .arg(whose, QString::fromStdString(why)));
    box->setFocus();
    box->selectAll();
    return;
  }
  if (!onOneLine(operatorName_->text())) {
    MessageBox::information(this, "The operator's name holds a control character (a tab or a "
                                  "line break, say): give it on one line.");
    operatorName_->setFocus();
    return;
  }
  QDialog::accept();
}

void printInspectorPack(QWidget* parent, const std::filesystem::path& reportFolder,
                        rm::RecordManager& engine) {
  PackDialog dialog(reportFolder, pack::packDetailsOf(reportFolder), parent);
  if (dialog.exec() != QDialog::Accepted) return;
  pack::PackOptions options;
  options.paper = dialog.paper();
  options.details = dialog.details();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const pack::PackResult made = pack::makePack(reportFolder, options, engine);
  QApplication::restoreOverrideCursor();
  if (!made.ok) {
    MessageBox::information(parent, "No inspector's pack was made: " +
                                        QString::fromStdString(made.problem));
    return;
  }
  const QString pdf = QString::fromStdString(made.pdf.string());
  if (dialog.printChosen()) {
    const QString problem = printPdf(parent, pdf, options.paper);
    if (!problem.isEmpty())
      MessageBox::information(parent, problem + " The inspector's pack is in " + pdf);
  } else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(pdf))) {
    MessageBox::information(parent, "The inspector's pack is in " + pdf);
  }
}

}  // namespace varnok::form
