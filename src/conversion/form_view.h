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

// The window's widget objectName of each is in the comment beside it.
enum class TextBox {
  PreviousLicensee,  // Text1, index 0..5: last name, first name, address, city, state, zip
  NewLicensee,       // Text2, index 0..5, the same six
  OldBookFolder,     // Text3
  NewBookFolder,     // Text4
  NewBookPrefix,     // Text5, the prefix put in front of Field06 in the new book
  ConversionDate,    // MaskEdBox1, "##/##/####" (month/day/year) with its slashes
};

enum class Option {
  KeepReceivedFrom,   // mnuOption1, "Leave Received From Info in New book"
  KeepDateIn,         // mnuOption2, "Save Original Date-In in New Book"
  LeaveReceivedInfo,  // Check1, "Leave Received Info in New Book": the window keeps it
                      // as mnuOption1, which is what the passes read
};

enum class Shown {
  OldBookLabel,  // Label21, "Old Gun Book"
  NewBookLabel,  // Label22, "New Gun Book"
  OldBookBar,    // ProgressBar1
  NewBookBar,    // ProgressBar2
};
enum class Bar {
  OldBook,  // ProgressBar1, the close-out's progress
  NewBook,  // ProgressBar2, the rebase's progress
};

// The questions a run asks before it writes a book.
enum class Question {
  CutModels,     // the prefix would cut models
  ConvertAgain,  // the books look converted on the date already
};

inline constexpr int kDefaultPointer = 0;
inline constexpr int kHourglass = 11;

class FormView : public errortrap::ErrorReporter {
 public:
  // index is 0..5 for the two licensee boxes and 0 for the other boxes.
  virtual std::string text(TextBox box, int index) = 0;
  virtual void setText(TextBox box, int index, const std::string& text) = 0;
  virtual bool checked(Option option) = 0;
  virtual void setVisible(Shown control, bool visible) = 0;
  // A bar's value, 0 to 100, fraction kept.
  virtual void setBarValue(Bar bar, float value) = 0;
  virtual void setMousePointer(int pointer) = 0;
  // A message box with the text alone, an OK button, no icon, title Varnok.
  virtual void messageBox(const std::string& text) = 0;
  // A question with Yes and No, No the default; true for Yes. A view that
  // cannot ask answers No.
  virtual bool confirm(Question about, const std::string& question) {
    (void)about;
    (void)question;
    return false;
  }
  // errorReport(): the error report with Abort, Retry and Ignore.
};

}  // namespace varnok::conversion
