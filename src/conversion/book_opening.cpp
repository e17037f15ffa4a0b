// Opening a pass's book and reading its conversion date: the steps the book
// check and the two passes share.
#include <string>

#include "conversion/converter.h"
#include "conversion/pass_support.h"
#include "gunbook/book_folder.h"
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
  T([&] { BtrStatus = Gun.call(recordManager_, rm::op::Close); });
  outcome_ = Outcome::BookNotOpened;
  return {};
}

}  // namespace varnok::conversion
