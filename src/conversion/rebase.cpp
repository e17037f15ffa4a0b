// ConvNew: the new book rebase. The new book begins on the conversion date:
// guns that had left the store before it are removed, and every remaining
// entry received on or before it reads as received from the previous
// licensee on that date, with the new book's prefix in front of Field06.
#include <string>

#include "conversion/converter.h"
#include "conversion/key_scan.h"
#include "conversion/pass_support.h"
#include "conversion/removal_walk.h"
#include "errortrap/trap.h"
#include "recordmanager/status.h"

namespace varnok::conversion {

void Converter::rebaseNewBook() {
  errortrap::Trap trap("Brelmark", "ConvNew", &reporter_);
  if (!openPassBook(TextBox::NewBookFolder, msg::ErrorOpeningNewBook, trap)) {
    booksValid = false;
    return;
  }
  const std::string bookDate = passDateOrLeaveBook(trap);
  if (bookDate.empty()) return;

  removeLeftBefore(bookDate, trap);
  rewriteAsReceived(bookDate, trap);

  // Every change of the pass becomes durable here, or not at all.
  closeOrDrop(bookCursor, trap);
}

// Removal pass, key 1 (DateIn) from the lowest date: a gun received on or
// before the date that is no longer pawned or for sale and left before it.
// The walk reads each entry once; visited counts the reads.
void Converter::removeLeftBefore(const std::string& bookDate, errortrap::Trap& trap) {
  using errortrap::checkedAdd;
  int32_t deletions = 0;
  int32_t visited = 0;
  RemovalWalk removal(bookCursor, lastStatus, recordManager_, trap);
  removal.start(std::string(8, ' '));
  while (removal.onEntry()) {
    if (leftBeforeDate(bookCursor.Record, bookDate) && removal.mayRemove() && removal.remove())
      trap([&] { deletions = checkedAdd(deletions, 1); });
    removal.next();
    trap([&] { visited = checkedAdd(visited, 1); });
    showProgress(view_, Bar::NewBook, visited, newBookCount, trap);
  }
  trap([&] { newBookCount = errortrap::checkedSub(newBookCount, deletions); });
}

// Rewrite pass, key 0: every entry received on or before the date now comes
// from the previous licensee on the date. Key 0 is on a field that is never
// written here, so the walk meets each entry once.
void Converter::rewriteAsReceived(const std::string& bookDate, errortrap::Trap& trap) {
  int32_t visited = 0;
  scanKey(bookCursor, lastStatus, recordManager_, 0, trap, [&] {
    if (bookCursor.Record.DateIn <= bookDate) rebaseEntry(bookCursor.Record, bookDate, trap);
    trap([&] { visited = errortrap::checkedAdd(visited, 1); });
    showProgress(view_, Bar::NewBook, visited, newBookCount, trap);
  });
}

void Converter::rebaseEntry(gunbook::GunRecord& e, const std::string& bookDate,
                            errortrap::Trap& trap) {
  bool keepReceivedFrom = false;
  trap([&] { keepReceivedFrom = view_.checked(Option::KeepReceivedFrom); });
  if (!keepReceivedFrom) receiveFromPreviousLicensee(e, view_, trap);
  bool keepDateIn = false;
  trap([&] { keepDateIn = view_.checked(Option::KeepDateIn); });
  if (!keepDateIn) e.DateIn = bookDate;
  std::string prefix;
  trap([&] { prefix = newBookPrefix(view_); });
  // The prefix pushes the old value's last characters out of the field.
  if (!prefix.empty()) trap([&] { e.Field06 = prefix + e.Field06.str(); });
  // Made even when nothing changed.
  writeOrReport(bookCursor, rm::op::Update, trap);
}

}  // namespace varnok::conversion
