#include "form/report_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <exception>

#include "form/file_choice.h"
#include "form/message_box.h"
#include "reportfolder/file_io.h"

namespace varnok::form {

ReportDialog::ReportDialog(QWidget* parent, const QString& heading, const QString& text,
                           const QString& fileName)
    : QDialog(parent), text_(text), fileName_(fileName) {
  setWindowTitle(QStringLiteral("Varnok"));
  auto* layout = new QVBoxLayout(this);
  auto* title = new QLabel(heading, this);
  title->setObjectName(QStringLiteral("ReportHeading"));
  layout->addWidget(title);
  auto* shown = new QPlainTextEdit(text, this);
  shown->setObjectName(QStringLiteral("ReportText"));
  shown->setReadOnly(true);
  // Long lines (the warnings' stock numbers) wrap: all of it shows.
  shown->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // The reports line up their figures in a fixed-width font.
  shown->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(shown);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  QPushButton* saveButton =
      buttons->addButton(QStringLiteral("&Save..."), QDialogButtonBox::ActionRole);
  saveButton->setObjectName(QStringLiteral("SaveReport"));
  saveButton->setAutoDefault(false);
  QPushButton* close = buttons->button(QDialogButtonBox::Close);
  close->setDefault(true);
  connect(saveButton, &QPushButton::clicked, this, [this] { save(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  // Wide enough for the report's lines, within the screen.
  const QFontMetrics metrics(shown->font());
  const QRect room = (parent ? parent->screen() : QApplication::primaryScreen())->availableGeometry();
  resize(qMin(metrics.horizontalAdvance(QLatin1Char('M')) * 120, room.width() * 9 / 10),
         qMin(metrics.lineSpacing() * 30, room.height() * 8 / 10));
  close->setFocus();
}

void ReportDialog::show(QWidget* parent, const QString& heading, const QString& text,
                        const QString& fileName) {
  if (MessageBox::Button answer; MessageBox::answerUnshown(heading + "\n" + text, answer)) return;
  ReportDialog dialog(parent, heading, text, fileName);
  dialog.exec();
  if (parent) parent->window()->activateWindow();
}

bool ReportDialog::save() {
  const QString path = FileChoice::toWrite(this, QStringLiteral("Save the report"),
                                           QDir::home().filePath(fileName_));
  if (path.isEmpty()) return false;
  try {
    reportfolder::writeFileInPlace(path.toStdString(), text_.toStdString());
  } catch (const std::exception& error) {
    MessageBox::information(this, QStringLiteral("The report was not saved: ") +
                                      QString::fromUtf8(error.what()));
    return false;
  }
  return true;
}

}  // namespace varnok::form
