// BeginConversion_Click: the conversion run started by "Begin". Checks the
// input, checks and counts both books, closes out the old book, rebases the
// new one, and ends with "Finished".
#include <string>

#include "conversion/book_identity.h"
#include "conversion/converter.h"
#include "conversion/date_check.h"
#include "conversion/input_check.h"
#include "errortrap/trap.h"

namespace varnok::conversion {

void Converter::BeginConversion_Click() {
  errortrap::Trap T("Brelmark", "BeginConversion_Click", &view_);

  outcome_ = Outcome::NotRun;
  BooksValid = true;

  // Input check. A box of blanks only counts as filled in.
  bool filledIn = licenseesAndFoldersFilled(view_, T);
  T([&] {
    if (!isValidDate(view_.text(TextBox::MaskEdBox1))) filledIn = false;
  });
  if (!filledIn) {
    refuseWith(msg::FillAllBoxes, Outcome::Refused, T);
    return;
  }
  if (refuseUnusableInput(/*withPrefix=*/true, T)) return;

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

bool Converter::refuseWith(const std::string& message, Outcome outcome, errortrap::Trap& T) {
  if (message.empty()) return false;
  T([&] { view_.messageBox(message); });
  outcome_ = outcome;
  return true;
}

bool Converter::refuseUnusableInput(bool withPrefix, errortrap::Trap& T) {
  if (refuseWith(unstorableTextMessage(view_, withPrefix, T), Outcome::UnstorableText, T))
    return true;
  if (refuseWith(overlongFolderMessage(view_, T), Outcome::Refused, T)) return true;
  // Working on one and the same book as both would destroy it. The test
  // refuses should it itself fail.
  bool sameBook = true;
  T([&] { sameBook = sameBookFile(view_.text(TextBox::Text3), view_.text(TextBox::Text4)); });
  return sameBook && refuseWith(msg::SameBook, Outcome::Refused, T);
}

}  // namespace varnok::conversion
