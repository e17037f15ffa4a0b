// The late disposal transfer, started by "Fix": every old book entry disposed
// of after the conversion date is closed in the old book as sold to the new
// licensee on that date, and copied into the new book as received from the
// previous licensee on that date.
#include <string>

#include "conversion/converter.h"
#include "conversion/date_check.h"
#include "conversion/input_check.h"
#include "conversion/pass_support.h"
#include "conversion/refused_write.h"
#include "errortrap/trap.h"
#include "gunbook/book_folder.h"
#include "gunbook/myroutines.h"

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

bool Converter::transferInputAccepted(std::string& D, errortrap::Trap& T) {
  // An unusable date would make every entry with any DateOut qualify and
  // corrupt both books. The test refuses should it itself fail: D stays
  // empty unless the box holds a valid date.
  T([&] {
    const std::string typed = view_.text(TextBox::MaskEdBox1);
    if (isValidDate(typed)) D = gunbook::nue(typed);
  });
  if (D.empty()) return !refuseWith(msg::ValidDate, Outcome::Refused, T);
  // Mended likewise: an empty licensee box would write blanks over the real
  // buyer of every gun handed over, past recovery. The boxes are refused as
  // the conversion run refuses them; a text of blanks counts as filled in.
  if (!licenseesAndFoldersFilled(view_, T))
    return !refuseWith(msg::FillAllBoxes, Outcome::Refused, T);
  // The prefix is not read by the transfer.
  return !refuseUnusableInput(/*withPrefix=*/false, T);
}

void Converter::transferEntry(gunbook::BookCursor& NewBook, const std::string& D,
                              errortrap::Trap& T) {
  const auto previousLicensee = [&](int index) { return bookText(view_, TextBox::Text1, index); };
  NewBook.Record = Gun.Record;

  // DispFlag keeps its value: only the close-out sets it.
  disposeToNewLicensee(Gun.Record, view_, D, T);
  T([&] {
    BtrStatus = Gun.call(recordManager_, rm::op::Update);
    raiseIfRefused(BtrStatus, rm::op::Update, Gun.Record);
  });

  T([&] { NewBook.Record.RecvAddress = previousLicensee(2); });
  T([&] { NewBook.Record.RecvCity = previousLicensee(3); });
  NewBook.Record.DateIn = D;
  T([&] { NewBook.Record.RecvFirstName = previousLicensee(1); });
  T([&] { NewBook.Record.RecvLastName = previousLicensee(0); });
  T([&] { NewBook.Record.RecvState = previousLicensee(4); });
  T([&] { NewBook.Record.RecvZip = previousLicensee(5); });
  // A duplicate that is exactly this copy is the copy itself, made durable
  // by an earlier transfer that ended after the new book's Close (see the
  // closing order). Going on completes that transfer; any other refusal,
  // such as another gun under the same Field00, is reported.
  T([&] {
    const gunbook::GunRecord copy = NewBook.Record;
    const int16_t inserted = BtrStatus = NewBook.call(recordManager_, rm::op::Insert);
    if (inserted == rm::status::DuplicateKey &&
        alreadyHoldsCopy(recordManager_, NewBook, copy, BtrStatus))
      return;
    BtrStatus = inserted;
    raiseIfRefused(inserted, rm::op::Insert, copy);
  });
}

void Converter::closeTransferredBooks(gunbook::BookCursor& NewBook, errortrap::Trap& T) {
  // Each book's changes become durable at its Close. The new book goes first:
  // should the process end between the two, the copies are kept and the old
  // book still shows those guns disposed of after the conversion date, so
  // "Fix" again hands them over and finds their copies already in place.
  // The other order would lose every such gun from both books; so would the
  // old book's hand-overs made durable while the new book's copies are not.
  // A refused Close of the new book that the operator lets go therefore
  // drops the old book's changes as well.
  if (!closeOrDrop(NewBook, T)) {
    T([&] { BtrStatus = Gun.call(recordManager_, rm::op::Discard); });
    T([&] { view_.messageBox(msg::NewBookNotSaved); });
  } else if (!closeOrDrop(Gun, T)) {
    T([&] { view_.messageBox(msg::OldBookNotSaved); });
  }
}

void Converter::Command1_Click() {
  errortrap::Trap T("Brelmark", "Command1_Click", &view_);
  // The new book's cursor: NewBookPosBlock, NewBookKeyBuffer, NewBookKeyLength,
  // NewBookKeyNumber (always 0) and NewBookRecord.
  gunbook::BookCursor NewBook;

  std::string D;
  if (!transferInputAccepted(D, T)) return;

  Gun.PosBlock.fill(' ');
  NewBook.PosBlock.fill(' ');
  Gun.KeyLength = 255;
  NewBook.KeyLength = 255;

  // Both folders lose their trailing blanks before either gets its separator.
  trimFolderBox(view_, TextBox::Text3, T);
  trimFolderBox(view_, TextBox::Text4, T);
  finishFolderBox(view_, TextBox::Text3, T);
  finishFolderBox(view_, TextBox::Text4, T);

  T([&] { Gun.KeyBuffer = gunbook::bookFileKey(view_.text(TextBox::Text3)); });
  T([&] { NewBook.KeyBuffer = gunbook::bookFileKey(view_.text(TextBox::Text4)); });
  Gun.KeyNumber = 0;
  NewBook.KeyNumber = 0;

  T([&] { BtrStatus = Gun.call(recordManager_, rm::op::Open); });
  if (BtrStatus != rm::status::Success) {
    refuseWith(msg::ErrorOpeningOldBook, Outcome::BookNotOpened, T);
    BooksValid = false;
    return;
  }
  T([&] { BtrStatus = NewBook.call(recordManager_, rm::op::Open); });
  if (BtrStatus != rm::status::Success) {
    refuseWith(msg::ErrorOpeningNewBook, Outcome::BookNotOpened, T);
    BooksValid = false;
    closeOrDrop(Gun, T);
    return;
  }

  Gun.KeyNumber = 3;
  Gun.KeyBuffer = std::string(15, ' ');
  T([&] { BtrStatus = Gun.call(recordManager_, rm::op::GetGreaterOrEqual); });
  while (BtrStatus == rm::status::Success) {
    if (Gun.Record.DateOut > D) transferEntry(NewBook, D, T);
    T([&] { BtrStatus = Gun.call(recordManager_, rm::op::GetNext); });
  }

  closeTransferredBooks(NewBook, T);
  outcome_ = Outcome::Completed;
}

}  // namespace varnok::conversion
