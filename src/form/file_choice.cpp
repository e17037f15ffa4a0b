#include "form/file_choice.h"

#include <QFileDialog>
#include <QStringList>

namespace varnok::form {
namespace {

QStringList nextChoices;

}  // namespace

QString FileChoice::toRead(QWidget* parent, const QString& caption) {
  if (!nextChoices.isEmpty()) return nextChoices.takeFirst();
  return QFileDialog::getOpenFileName(parent, caption, QString(),
                                      QStringLiteral("Lists (*.txt *.csv);;All files (*)"));
}

QString FileChoice::toWrite(QWidget* parent, const QString& caption, const QString& suggested) {
  if (!nextChoices.isEmpty()) return nextChoices.takeFirst();
  return QFileDialog::getSaveFileName(parent, caption, suggested);
}

void FileChoice::setNextChoice(const QString& path) { nextChoices.append(path); }

void FileChoice::clearNextChoices() { nextChoices.clear(); }

}  // namespace varnok::form
