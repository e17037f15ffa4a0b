// A window whose layout, scaled to the desktop's font, can come out larger
// than the screen (large fonts, a scale factor of 2, a 1024 x 768 screen).
// The form then keeps its places and proportions and the window takes the
// screen's free area instead, with scroll bars that reach every control.
#pragma once

class QMainWindow;

namespace varnok::form {

// Puts the window's central widget, a form of fixed size, in a scroll area
// and sizes the window: as the form and its menu need when that fits the
// free area of the window's screen (title bar included), fixed as drawn;
// otherwise the size of that free area, resizable up to what the form
// needs, placed at its top left. The focused control is always scrolled
// into view.
void fitToScreen(QMainWindow& window);

}  // namespace varnok::form
