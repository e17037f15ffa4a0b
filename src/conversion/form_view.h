// The window's controls as the conversion reads and writes them.
//
// The conversion reads every control at each use and keeps no copy. The Qt
// window implements this view; the command line has a headless one; tests
// use a plain fake. Texts are UTF-8; they are turned into book text
// (Windows-1252) where they enter a record.
#pragma once

#include <string>

#include "errortrap/trap.h"

namespace varnok::conversion {

enum class TextBox {
  Text1,       // previous licensee, index 0..5: last name, first name, address, city, state, zip
  Text2,       // new licensee, index 0..5, the same six
  Text3,       // old book folder
  Text4,       // new book folder
  Text5,       // prefix in the new book
  MaskEdBox1,  // conversion date, "##/##/####" (month/day/year) with its slashes
};

enum class Option {
  mnuOption1,  // "Leave Received From Info in New book"
  mnuOption2,  // "Save Original Date-In in New Book"
  Check1,      // "Leave Received Info in New Book" (read by nothing)
};

enum class Shown { Label21, Label22, ProgressBar1, ProgressBar2 };
enum class Bar { ProgressBar1, ProgressBar2 };

inline constexpr int kDefaultPointer = 0;
inline constexpr int kHourglass = 11;

class FormView : public errortrap::ErrorReporter {
 public:
  // index is 0..5 for Text1 and Text2 and ignored for the other boxes.
  virtual std::string text(TextBox box, int index = 0) = 0;
  virtual void setText(TextBox box, int index, const std::string& text) = 0;
  virtual bool checked(Option option) = 0;
  virtual void setVisible(Shown control, bool visible) = 0;
  // A bar's value, 0 to 100, fraction kept.
  virtual void setBarValue(Bar bar, float value) = 0;
  virtual void setMousePointer(int pointer) = 0;
  // A message box with the text alone, an OK button, no icon, title Varnok.
  virtual void messageBox(const std::string& text) = 0;
  // errorReport(): the error report with Abort, Retry and Ignore.
};

}  // namespace varnok::conversion
