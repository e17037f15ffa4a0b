// BeginConversion_Click: the conversion run started by "Begin". Checks the
// input, checks and counts both books, closes out the old book, rebases the
// new one, and ends with "Finished".
#include <string>

#include "conversion/book_identity.h"
#include "conversion/converter.h"
#include "conversion/date_check.h"
#include "errortrap/trap.h"

namespace varnok::conversion {

void Converter::BeginConversion_Click() {
  errortrap::Trap T("Brelmark", "BeginConversion_Click", &view_);

  outcome_ = Outcome::NotRun;
  BooksValid = true;

  // Input check. A box of blanks only counts as filled in.
  bool filledIn = true;
  for (int i = 0; i <= 5; ++i) {
    T([&] {
      if (view_.text(TextBox::Text1, i).empty() || view_.text(TextBox::Text2, i).empty())
        filledIn = false;
    });
  }
  T([&] {
    if (!isValidDate(view_.text(TextBox::MaskEdBox1))) filledIn = false;
  });
  T([&] {
    if (view_.text(TextBox::Text3).empty() || view_.text(TextBox::Text4).empty())
      filledIn = false;
  });
  if (!filledIn) {
    T([&] { view_.messageBox(msg::FillAllBoxes); });
    outcome_ = Outcome::Refused;
    return;
  }

  // Closing out and then rebasing one and the same book would destroy it.
  bool sameBook = false;
  T([&] { sameBook = sameBookFile(view_.text(TextBox::Text3), view_.text(TextBox::Text4)); });
  if (sameBook) {
    T([&] { view_.messageBox(msg::SameBook); });
    outcome_ = Outcome::Refused;
    return;
  }

  T([&] { view_.setMousePointer(kHourglass); });

  CheckValidFiles();

  if (BooksValid) {
    T([&] { view_.setVisible(Shown::Label21, true); });
    T([&] { view_.setVisible(Shown::Label22, true); });
    T([&] { view_.setVisible(Shown::ProgressBar1, true); });
    T([&] { view_.setVisible(Shown::ProgressBar2, true); });
    // Each pass marks the outcome when it cannot open its book. The rebase
    // runs whatever the close-out came to.
    ConvertOld();
    ConvNew();
  } else {
    outcome_ = Outcome::BookNotOpened;
  }

  T([&] { view_.setVisible(Shown::Label21, false); });
  T([&] { view_.setVisible(Shown::Label22, false); });
  T([&] { view_.setVisible(Shown::ProgressBar1, false); });
  T([&] { view_.setVisible(Shown::ProgressBar2, false); });

  T([&] { view_.messageBox(msg::Finished); });
  if (outcome_ == Outcome::NotRun) outcome_ = Outcome::Completed;

  T([&] { view_.setMousePointer(kDefaultPointer); });
}

}  // namespace varnok::conversion
