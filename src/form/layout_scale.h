// The window's places were drawn for a smaller dialog font than desktops use
// today. At start-up every place is scaled by one factor, the smallest that
// lets every caption, label and box text show whole in the running font.
#pragma once

class QWidget;

namespace varnok::form {

// form: the widget whose children carry the drawn places and whose
// minimumSize is the drawn client area. Children with the property
// "largerFont" are first given the larger caption font (9.75 points where
// the dialog font has 8.25). Returns the factor applied.
double scaleToFont(QWidget& form);

}  // namespace varnok::form
