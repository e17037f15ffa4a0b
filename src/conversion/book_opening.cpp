// Opening a pass's book, reading its conversion date and closing the book
// again: the steps the book check, the two passes and the transfer share.
#include <string>

#include "conversion/converter.h"
#include "conversion/pass_support.h"
#include "gunbook/book_folder.h"
#include "conversion/refused_write.h"
#include "recordmanager/status.h"

namespace varnok::conversion {

bool Converter::openBookIn(TextBox folderBox, errortrap::CallerTrap trap) {
  const std::string folder = normaliseFolderBox(view_, folderBox, trap);
  return openBookOn(bookCursor, folderBox, folder, trap);
}

bool Converter::openPassBook(TextBox folderBox, const char* refusal, errortrap::CallerTrap trap) {
  if (openBookIn(folderBox, trap)) return true;
  trap([&] { view_.messageBox(refusal); });
  tellWhyNotOpened(trap);
  // Tells the run that this pass did not reach its book.
  outcome_ = Outcome::BookNotOpened;
  return false;
}

void Converter::writeOrReport(gunbook::BookCursor& cursor, uint16_t operation,
                              errortrap::CallerTrap trap) {
  // One trapped statement: Retry makes the write again, Ignore skips it.
  trap([&] {
    lastStatus = cursor.call(recordManager_, operation);
    raiseIfRefused(recordManager_, lastStatus, operation, cursor.Record);
  });
}

std::string Converter::passDateOrLeaveBook(errortrap::CallerTrap trap) {
  std::string bookDate = conversionDate(view_, trap);
  if (isBookDate(bookDate)) return bookDate;
  // Nothing was changed; dropping the session leaves the book as it was.
  trap([&] { lastStatus = bookCursor.call(recordManager_, rm::op::Discard); });
  outcome_ = Outcome::BookNotOpened;
  return {};
}

bool Converter::closeOrDrop(gunbook::BookCursor& cursor, errortrap::CallerTrap trap) {
  bool closed = false;
  trap([&] {
    lastStatus = cursor.call(recordManager_, rm::op::Close);
    raiseIfRefused(recordManager_, lastStatus, rm::op::Close, cursor.Record);
    closed = true;
  });
  if (!closed) trap([&] { lastStatus = cursor.call(recordManager_, rm::op::Discard); });
  return closed;
}

}  // namespace varnok::conversion
