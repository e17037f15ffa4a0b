// ConvertOld: the old book close-out. The old book ends on the conversion
// date: entries received after it are removed, and every gun still in the
// store or disposed of only after that date is written as disposed of on it,
// "SOLD" to the new licensee.
#include <string>

#include "conversion/converter.h"
#include "conversion/pass_support.h"
#include "conversion/refused_write.h"
#include "conversion/removal_walk.h"
#include "errortrap/trap.h"
#include "recordmanager/status.h"

namespace varnok::conversion {

using errortrap::checkedAdd;

void Converter::closeOutOldBook() {
  errortrap::Trap trap("Brelmark", "ConvertOld", &reporter_);

  // Opening.
  if (!openBookIn(TextBox::OldBookFolder, trap)) {
    trap([&] { view_.messageBox(msg::ErrorOpeningOldFile); });
    // Tells the run that this pass did not reach its book.
    outcome_ = Outcome::BookNotOpened;
    return;
  }

  const std::string bookDate = passDateOrLeaveBook(trap);
  if (bookDate.empty()) return;

  // Removal pass, key 1 (DateIn) from bookDate: guns received after bookDate belong to
  // the new book.
  RemovalWalk removal(bookCursor, lastStatus, recordManager_, trap);
  removal.start(bookDate);
  while (removal.onEntry()) {
    if (bookCursor.Record.DateIn > bookDate && removal.mayRemove()) removal.remove();
    removal.next();
  }

  // The on-hand pass and the late-disposal pass share one visited count, so
  // the bar runs on from the first into the second.
  int32_t visited = 0;
  auto handOver = [&] {
    disposeToNewLicensee(bookCursor.Record, view_, bookDate, trap);
    bookCursor.Record.DispFlag = -1;
    trap([&] {
      lastStatus = bookCursor.call(recordManager_, rm::op::Update);
      raiseIfRefused(lastStatus, rm::op::Update, bookCursor.Record);
    });
  };
  auto progress = [&] {
    trap([&] { visited = checkedAdd(visited, 1); });
    showProgress(view_, Bar::OldBook, visited, oldBookCount, trap);
  };

  // On-hand pass, key 3: guns still in the store.
  bookCursor.KeyBuffer = std::string(15, ' ');
  bookCursor.KeyNumber = 3;
  trap([&] { lastStatus = bookCursor.call(recordManager_, rm::op::GetGreaterOrEqual); });
  while (lastStatus == 0) {
    const std::string_view kind = bookCursor.Record.Status.left(4);
    if (kind == "SALE" || kind == "PAWN") handOver();
    progress();
    trap([&] { lastStatus = bookCursor.call(recordManager_, rm::op::GetNext); });
  }

  // Late-disposal pass, key 3: guns that left the store after bookDate were still
  // in it on bookDate.
  bookCursor.KeyBuffer = std::string(15, ' ');
  bookCursor.KeyNumber = 3;
  trap([&] { lastStatus = bookCursor.call(recordManager_, rm::op::GetGreaterOrEqual); });
  while (lastStatus == 0) {
    if (bookCursor.Record.DateOut > bookDate) handOver();
    progress();
    trap([&] { lastStatus = bookCursor.call(recordManager_, rm::op::GetNext); });
  }

  // Every change of the pass becomes durable here, or not at all.
  closeOrDrop(bookCursor, trap);
}

}  // namespace varnok::conversion
