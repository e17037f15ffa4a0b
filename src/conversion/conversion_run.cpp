// BeginConversion_Click: the conversion run started by "Begin". Checks the
// input, checks and counts both books, closes out the old book, rebases the
// new one, and ends with "Finished".
#include <string>

#include "conversion/book_identity.h"
#include "conversion/converter.h"
#include "conversion/date_check.h"
#include "conversion/input_check.h"
#include "errortrap/trap.h"
#include "recordmanager/record_manager.h"

namespace varnok::conversion {

void Converter::runConversion() {
  errortrap::Trap trap("Brelmark", "BeginConversion_Click", &reporter_);

  startAfresh();
  booksValid = true;
  if (refuseConversionInput(trap)) return;

  trap([&] { view_.setMousePointer(kHourglass); });

  {
    // Each book stays open from its check to its pass: it is read once, and
    // nothing else can write to it between the counts shown and the pass.
    rm::BookHold hold;
    checkBooks();

    // Nothing is written before the operator knows whether the books were
    // converted already and what the prefix cuts.
    if (booksValid && mayConvertAgain(trap) && modelsMayBeCut(trap)) {
      trap([&] { view_.setVisible(Shown::OldBookLabel, true); });
      trap([&] { view_.setVisible(Shown::NewBookLabel, true); });
      trap([&] { view_.setVisible(Shown::OldBookBar, true); });
      trap([&] { view_.setVisible(Shown::NewBookBar, true); });
      // Each pass marks the outcome when it cannot open its book. The
      // rebase runs whatever the close-out came to.
      closeOutOldBook();
      rebaseNewBook();
    } else if (!booksValid) {
      outcome_ = Outcome::BookNotOpened;
    }
  }

  trap([&] { view_.setVisible(Shown::OldBookLabel, false); });
  trap([&] { view_.setVisible(Shown::NewBookLabel, false); });
  trap([&] { view_.setVisible(Shown::OldBookBar, false); });
  trap([&] { view_.setVisible(Shown::NewBookBar, false); });

  // Settled before "Finished", so that a front end can say what the run
  // came to as the message shows.
  if (outcome_ == Outcome::NotRun) outcome_ = Outcome::Completed;
  trap([&] { view_.messageBox(msg::Finished); });

  trap([&] { view_.setMousePointer(kDefaultPointer); });
}

bool Converter::refuseConversionInput() {
  errortrap::Trap trap("Brelmark", "BeginConversion_Click", &reporter_);
  startAfresh();
  return refuseConversionInput(trap);
}

bool Converter::refuseConversionInput(errortrap::Trap& trap) {
  // A box of blanks only counts as filled in.
  bool filledIn = licenseesAndFoldersFilled(view_, trap);
  trap([&] {
    if (!isValidDate(view_.text(TextBox::ConversionDate, 0))) filledIn = false;
  });
  if (!filledIn) return refuseWith(msg::FillAllBoxes, Outcome::Refused, trap);
  return refuseUnusableInput(/*withPrefix=*/true, trap);
}

bool Converter::refuseWith(const std::string& message, Outcome outcome, errortrap::CallerTrap trap) {
  if (message.empty()) return false;
  trap([&] { view_.messageBox(message); });
  outcome_ = outcome;
  return true;
}

bool Converter::refuseUnusableInput(bool withPrefix, errortrap::CallerTrap trap) {
  if (refuseWith(unstorableTextMessage(view_, withPrefix, trap), Outcome::UnstorableText, trap))
    return true;
  if (refuseWith(overlongFolderMessage(view_, trap), Outcome::Refused, trap)) return true;
  // Working on one and the same book as both would destroy it. The test
  // refuses should it itself fail.
  bool sameBook = true;
  trap([&] {
    sameBook =
        sameBookFile(view_.text(TextBox::OldBookFolder, 0), view_.text(TextBox::NewBookFolder, 0));
  });
  return sameBook && refuseWith(msg::SameBook, Outcome::Refused, trap);
}

}  // namespace varnok::conversion
