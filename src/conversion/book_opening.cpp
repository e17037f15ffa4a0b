// Opening a pass's book, reading its conversion date and closing the book
// again: the steps the book check, the two passes and the transfer share.
#include <string>

#include "conversion/converter.h"
#include "conversion/pass_support.h"
#include "gunbook/book_folder.h"
#include "conversion/refused_write.h"
#include "recordmanager/status.h"

namespace varnok::conversion {

bool Converter::openBookIn(TextBox folderBox, errortrap::Trap& T) {
  Gun.PosBlock.fill(' ');
  Gun.KeyLength = 255;
  const std::string folder = normaliseFolderBox(view_, folderBox, T);
  T([&] { Gun.KeyBuffer = gunbook::bookFileKey(folder); });
  Gun.KeyNumber = 0;
  T([&] { BtrStatus = Gun.call(recordManager_, rm::op::Open); });
  return BtrStatus == rm::status::Success;
}

std::string Converter::passDateOrLeaveBook(errortrap::Trap& T) {
  std::string D = conversionDate(view_, T);
  if (isBookDate(D)) return D;
  // Nothing was changed; dropping the session leaves the book as it was.
  T([&] { BtrStatus = Gun.call(recordManager_, rm::op::Discard); });
  outcome_ = Outcome::BookNotOpened;
  return {};
}

bool Converter::closeOrDrop(gunbook::BookCursor& cursor, errortrap::Trap& T) {
  bool closed = false;
  T([&] {
    BtrStatus = cursor.call(recordManager_, rm::op::Close);
    raiseIfRefused(BtrStatus, rm::op::Close, cursor.Record);
    closed = true;
  });
  if (!closed) T([&] { BtrStatus = cursor.call(recordManager_, rm::op::Discard); });
  return closed;
}

}  // namespace varnok::conversion
