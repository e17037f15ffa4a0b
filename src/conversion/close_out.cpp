// ConvertOld: the old book close-out. The old book ends on the conversion
// date: entries received after it are removed, and every gun still in the
// store or disposed of only after that date is written as disposed of on it,
// "SOLD" to the new licensee.
#include <string>

#include "conversion/converter.h"
#include "conversion/key_scan.h"
#include "conversion/pass_support.h"
#include "conversion/removal_walk.h"
#include "errortrap/trap.h"
#include "recordmanager/status.h"

namespace varnok::conversion {

void Converter::closeOutOldBook() {
  errortrap::Trap trap("Brelmark", "ConvertOld", &reporter_);
  if (!openPassBook(TextBox::OldBookFolder, msg::ErrorOpeningOldFile, trap)) return;
  const std::string bookDate = passDateOrLeaveBook(trap);
  if (bookDate.empty()) return;

  removeReceivedAfter(bookDate, trap);
  handOverOnHand(bookDate, trap);

  // Every change of the pass becomes durable here, or not at all.
  closeOrDrop(bookCursor, trap);
}

// Removal pass, key 1 (DateIn) from the date: guns received after it belong
// to the new book.
void Converter::removeReceivedAfter(const std::string& bookDate, errortrap::Trap& trap) {
  RemovalWalk removal(bookCursor, lastStatus, recordManager_, trap);
  removal.start(bookDate);
  while (removal.onEntry()) {
    if (bookCursor.Record.DateIn > bookDate && removal.mayRemove()) removal.remove();
    removal.next();
  }
}

// Two walks over key 3: first the guns still in the store, then the guns
// that left it after the date and so were still in it on the date. They
// share one visited count, so the bar runs on from the first into the second.
void Converter::handOverOnHand(const std::string& bookDate, errortrap::Trap& trap) {
  int32_t visited = 0;
  const auto handOver = [&] {
    disposeToNewLicensee(bookCursor.Record, view_, bookDate, trap);
    bookCursor.Record.DispFlag = -1;
    writeOrReport(bookCursor, rm::op::Update, trap);
  };
  const auto progress = [&] {
    trap([&] { visited = errortrap::checkedAdd(visited, 1); });
    showProgress(view_, Bar::OldBook, visited, oldBookCount, trap);
  };
  scanKey(bookCursor, lastStatus, recordManager_, 3, trap, [&] {
    const std::string_view kind = bookCursor.Record.Status.left(4);
    if (kind == "SALE" || kind == "PAWN") handOver();
    progress();
  });
  scanKey(bookCursor, lastStatus, recordManager_, 3, trap, [&] {
    if (bookCursor.Record.DateOut > bookDate) handOver();
    progress();
  });
}

}  // namespace varnok::conversion
