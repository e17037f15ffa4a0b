// CheckValidFiles: makes sure both books open, counts their entries and tells
// the operator the two counts. The counts scale the passes' progress bars.
#include <string>

#include "conversion/converter.h"
#include "errortrap/trap.h"
#include "gunbook/myroutines.h"
#include "recordmanager/status.h"

namespace varnok::conversion {

void Converter::CheckValidFiles() {
  errortrap::Trap T("Brelmark", "CheckValidFiles", &view_);

  BooksValid = true;

  // Opens the book in the folder box, counts it and closes it again. False,
  // with the message shown, when the book cannot be opened.
  auto countBook = [&](TextBox box, const char* missing, int32_t& count) {
    if (!openBookIn(box, T)) {
      T([&] { view_.messageBox(missing); });
      BooksValid = false;
      return false;
    }
    Gun.KeyNumber = -1;
    T([&] { Gun.KeyBuffer = std::string(255, ' '); });
    T([&] { BtrStatus = Gun.call(recordManager_, rm::op::Stat); });
    T([&] { count = gunbook::ConvBTI_long(&Gun.StatBuffer[6]); });
    // Nothing was changed; a refused close still must not leave the book
    // held, or the pass could not open it.
    closeOrDrop(Gun, T);
    return true;
  };

  if (!countBook(TextBox::Text3, msg::OldBookMissing, OldGunCount)) return;
  if (!countBook(TextBox::Text4, msg::NewBookMissing, NewGunCount)) return;

  T([&] {
    view_.messageBox(msg::OldCountLead + std::to_string(OldGunCount) + msg::NewCountLead +
                     std::to_string(NewGunCount));
  });
}

}  // namespace varnok::conversion
