#include "form/folder_opener.h"

#include <QProcess>

namespace varnok::form {

void openFolderOnDesktop(const QString& folder, QObject* context, std::function<void()> failed) {
  // Not the window's child: a file manager still running when the window
  // goes is left running.
  auto* opener = new QProcess;
  opener->setProcessChannelMode(QProcess::ForwardedChannels);
  QObject::connect(opener, &QProcess::errorOccurred, context,
                   [failed](QProcess::ProcessError error) {
                     if (error == QProcess::FailedToStart) failed();  // a crash ends in finished()
                   });
  QObject::connect(opener, &QProcess::finished, context,
                   [failed](int exitCode, QProcess::ExitStatus status) {
                     if (status != QProcess::NormalExit || exitCode != 0) failed();
                   });
  QObject::connect(opener, &QProcess::errorOccurred, opener, [opener](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) opener->deleteLater();
  });
  QObject::connect(opener, &QProcess::finished, opener, &QObject::deleteLater);
  opener->start(QStringLiteral("xdg-open"), {folder});
}

}  // namespace varnok::form
