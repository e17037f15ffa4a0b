// The late disposal transfer, started by "Fix": every old book entry disposed
// of after the conversion date is closed in the old book as sold to the new
// licensee on that date, and copied into the new book as received from the
// previous licensee on that date.
#include <string>

#include "conversion/converter.h"
#include "conversion/date_check.h"
#include "conversion/input_check.h"
#include "conversion/key_scan.h"
#include "conversion/pass_support.h"
#include "conversion/refused_write.h"
#include "errortrap/trap.h"
#include "gunbook/book_folder.h"
#include "gunbook/date_and_number.h"

namespace varnok::conversion {
namespace {

// True when the new book already holds, under the copy's Field00, exactly the
// copy: a transfer whose new book was closed before the process ended, and
// whose old book was therefore never closed, is being run again. Reads
// through the new book's own cursor and leaves the copy in its record.
bool alreadyHoldsCopy(rm::RecordManager& recordManager, gunbook::BookCursor& newBook,
                      const gunbook::GunRecord& copy, int16_t& status) {
  newBook.KeyBuffer = copy.Field00.str();
  status = newBook.call(recordManager, rm::op::GetGreaterOrEqual);
  const bool same =
      status == rm::status::Success && gunbook::toStored(newBook.Record) == gunbook::toStored(copy);
  newBook.Record = copy;
  return same;
}

}  // namespace

bool Converter::transferInputAccepted(std::string& bookDate, errortrap::Trap& trap) {
  // An unusable date would make every entry with any DateOut qualify and
  // corrupt both books. The test refuses should it itself fail: bookDate stays
  // empty unless the box holds a valid date.
  trap([&] {
    const std::string typed = view_.text(TextBox::ConversionDate, 0);
    if (isValidDate(typed)) bookDate = gunbook::bookDateFromFormDate(typed);
  });
  if (bookDate.empty()) return !refuseWith(msg::ValidDate, Outcome::Refused, trap);
  // Mended likewise: an empty licensee box would write blanks over the real
  // buyer of every gun handed over, past recovery. The boxes are refused as
  // the conversion run refuses them; a text of blanks counts as filled in.
  if (!licenseesAndFoldersFilled(view_, trap))
    return !refuseWith(msg::FillAllBoxes, Outcome::Refused, trap);
  // The prefix is not read by the transfer.
  return !refuseUnusableInput(/*withPrefix=*/false, trap);
}

bool Converter::refuseTransferInput() {
  errortrap::Trap trap("Brelmark", "Command1_Click", &reporter_);
  startAfresh();
  std::string bookDate;
  return !transferInputAccepted(bookDate, trap);
}

void Converter::transferEntry(gunbook::BookCursor& newBookCursor, const std::string& bookDate,
                              errortrap::Trap& trap) {
  newBookCursor.Record = bookCursor.Record;

  // DispFlag keeps its value: only the close-out sets it.
  disposeToNewLicensee(bookCursor.Record, view_, bookDate, trap);
  writeOrReport(bookCursor, rm::op::Update, trap);

  receiveFromPreviousLicensee(newBookCursor.Record, view_, trap);
  newBookCursor.Record.DateIn = bookDate;
  // A duplicate that is exactly this copy is the copy itself, made durable
  // by an earlier transfer that ended after the new book's Close (see the
  // closing order). Going on completes that transfer; any other refusal,
  // such as another gun under the same Field00, is reported.
  trap([&] {
    const gunbook::GunRecord copy = newBookCursor.Record;
    const int16_t inserted = lastStatus = newBookCursor.call(recordManager_, rm::op::Insert);
    if (inserted == rm::status::DuplicateKey &&
        alreadyHoldsCopy(recordManager_, newBookCursor, copy, lastStatus))
      return;
    lastStatus = inserted;
    raiseIfRefused(recordManager_, inserted, rm::op::Insert, copy);
  });
}

void Converter::closeTransferredBooks(gunbook::BookCursor& newBookCursor, errortrap::Trap& trap) {
  // Each book's changes become durable at its Close. The new book goes first:
  // should the process end between the two, the copies are kept and the old
  // book still shows those guns disposed of after the conversion date, so
  // "Fix" again hands them over and finds their copies already in place.
  // The other order would lose every such gun from both books; so would the
  // old book's hand-overs made durable while the new book's copies are not.
  // A refused Close of the new book that the operator lets go therefore
  // drops the old book's changes as well.
  if (!closeOrDrop(newBookCursor, trap)) {
    trap([&] { lastStatus = bookCursor.call(recordManager_, rm::op::Discard); });
    trap([&] { view_.messageBox(msg::NewBookNotSaved); });
  } else if (!closeOrDrop(bookCursor, trap)) {
    trap([&] { view_.messageBox(msg::OldBookNotSaved); });
  }
}

void Converter::transferLateDisposals() {
  errortrap::Trap trap("Brelmark", "Command1_Click", &reporter_);
  // The new book's cursor: NewBookPosBlock, NewBookKeyBuffer, NewBookKeyLength,
  // NewBookKeyNumber (always 0) and NewBookRecord.
  gunbook::BookCursor newBookCursor;
  startAfresh();

  std::string bookDate;
  if (!transferInputAccepted(bookDate, trap)) return;

  // Both folders lose their trailing blanks before either gets its separator.
  trimFolderBox(view_, TextBox::OldBookFolder, trap);
  trimFolderBox(view_, TextBox::NewBookFolder, trap);
  const std::string oldFolder = finishFolderBox(view_, TextBox::OldBookFolder, trap);
  const std::string newFolder = finishFolderBox(view_, TextBox::NewBookFolder, trap);

  if (!openBookOn(bookCursor, TextBox::OldBookFolder, oldFolder, trap)) {
    refuseWith(msg::ErrorOpeningOldBook, Outcome::BookNotOpened, trap);
    tellWhyNotOpened(trap);
    booksValid = false;
    return;
  }
  if (!openBookOn(newBookCursor, TextBox::NewBookFolder, newFolder, trap)) {
    refuseWith(msg::ErrorOpeningNewBook, Outcome::BookNotOpened, trap);
    tellWhyNotOpened(trap);
    booksValid = false;
    closeOrDrop(bookCursor, trap);
    return;
  }

  scanKey(bookCursor, lastStatus, recordManager_, 3, trap, [&] {
    if (bookCursor.Record.DateOut > bookDate) transferEntry(newBookCursor, bookDate, trap);
  });

  closeTransferredBooks(newBookCursor, trap);
  outcome_ = Outcome::Completed;
}

}  // namespace varnok::conversion
