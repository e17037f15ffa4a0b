// CheckValidFiles: makes sure both books open, counts their entries and tells
// the operator the two counts. The counts scale the passes' progress bars.
#include <string>

#include "conversion/converter.h"
#include "errortrap/trap.h"
#include "gunbook/date_and_number.h"
#include "recordmanager/status.h"

namespace varnok::conversion {

void Converter::checkBooks() {
  errortrap::Trap trap("Brelmark", "CheckValidFiles", &reporter_);

  booksValid = true;

  // Opens the book in the folder box, counts it and closes it again. False,
  // with the message shown, when the book cannot be opened.
  auto countBook = [&](TextBox box, const char* missing, int32_t& count) {
    if (!openBookIn(box, trap)) {
      trap([&] { view_.messageBox(missing); });
      tellWhyNotOpened(trap);
      booksValid = false;
      return false;
    }
    bookCursor.KeyNumber = -1;
    trap([&] { bookCursor.KeyBuffer = std::string(255, ' '); });
    trap([&] { lastStatus = bookCursor.call(recordManager_, rm::op::Stat); });
    trap([&] { count = gunbook::int32FromLittleEndian(&bookCursor.StatBuffer[6]); });
    // Nothing was changed; a refused close still must not leave the book
    // held, or the pass could not open it.
    closeOrDrop(bookCursor, trap);
    return true;
  };

  if (!countBook(TextBox::OldBookFolder, msg::OldBookMissing, oldBookCount)) return;
  if (!countBook(TextBox::NewBookFolder, msg::NewBookMissing, newBookCount)) return;

  trap([&] {
    view_.messageBox(msg::OldCountLead + std::to_string(oldBookCount) + msg::NewCountLead +
                     std::to_string(newBookCount));
  });
}

}  // namespace varnok::conversion
