// Report menu, "Count on the shelf...": a count of the guns on the shelf
// (a file the operator chooses) compared with the old book on the date to
// convert, as `varnok-cli reconcile --count` compares them, shown in a
// report dialog that can be saved. Neither book is written.
#pragma once

#include "conversion/form_view.h"
#include "recordmanager/record_manager.h"

class QWidget;

namespace varnok::form {

void countTheShelf(QWidget& window, conversion::FormView& view, rm::RecordManager& engine);

}  // namespace varnok::form
