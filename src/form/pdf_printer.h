// A PDF made elsewhere, printed as it is: the system's print dialog picks the
// printer, copies, pages and sides, and the file itself goes to that printer
// through CUPS, which prints a PDF as it stands (no page is redrawn).
#pragma once

#include <QString>

#include "pack/pack.h"

class QWidget;

namespace varnok::form {

// Shows the print dialog for `pdf` (landscape, on `paper`) and, unless the
// operator cancels, prints it, or with "Print to file" copies it there.
// Empty when printed, copied or cancelled; otherwise why it was not printed.
QString printPdf(QWidget* parent, const QString& pdf, pack::Paper paper);

}  // namespace varnok::form
