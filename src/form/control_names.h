// The one place that ties the conversion's names of the controls to the
// window's objectNames (in main_window.ui).
#pragma once

#include <QString>

#include "conversion/form_view.h"

namespace varnok::form {

// index is 0..5 for the two licensee arrays and ignored otherwise.
QString objectNameOf(conversion::TextBox box, int index);
QString objectNameOf(conversion::Option option);
QString objectNameOf(conversion::Shown control);
QString objectNameOf(conversion::Bar bar);

}  // namespace varnok::form
