// Opens a folder in the desktop's file manager through xdg-open, and says
// where the folder is in a message whenever the desktop cannot open it:
// xdg-open missing, or ending with a failure (its exit status not 0). It
// is not waited for: a file manager it runs may keep it going.
#pragma once

#include <QString>
#include <functional>

class QObject;

namespace varnok::form {

// `failed` is called on the window's thread once xdg-open is known to
// have failed; `context` going first cancels it.
void openFolderOnDesktop(const QString& folder, QObject* context, std::function<void()> failed);

}  // namespace varnok::form
