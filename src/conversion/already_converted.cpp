// A pair converted on the date already. A second run goes through every
// step again: the prefix goes in front of each model once more and the
// received-from details and dates are written again. The run recognises
// such a pair before any book is written and lets the operator say No.
#include <string>

#include "conversion/converter.h"
#include "conversion/key_scan.h"
#include "conversion/pass_support.h"
#include "errortrap/trap.h"
#include "gunbook/windows1252.h"

namespace varnok::conversion {
namespace {

bool onHand(const gunbook::GunRecord& e) {
  return e.Status.left(4) == "PAWN" || e.Status.left(4) == "SALE";
}

}  // namespace

bool Converter::oldBookReadsClosedOut(const std::string& bookDate, errortrap::Trap& trap) {
  if (!openPassBook(TextBox::OldBookFolder, msg::ErrorOpeningOldFile, trap)) return false;
  bool closedOut = true;
  scanKey(bookCursor, lastStatus, recordManager_, 0, trap, [&] {
    if (bookCursor.Record.DateIn <= bookDate && onHand(bookCursor.Record)) closedOut = false;
  });
  // Nothing was changed: the book stays held, as it was, for its pass.
  trap([&] { lastStatus = bookCursor.call(recordManager_, rm::op::Discard); });
  return closedOut;
}

std::string Converter::entriesReadAsConverted(const std::string& bookDate, errortrap::Trap& trap) {
  bool keepReceivedFrom = false, keepDateIn = false;
  std::string prefix;
  trap([&] { keepReceivedFrom = view_.checked(Option::KeepReceivedFrom); });
  trap([&] { keepDateIn = view_.checked(Option::KeepDateIn); });
  trap([&] { prefix = newBookPrefix(view_).substr(0, 15); });
  // With both options and no prefix a run leaves no mark to know it by.
  if (keepReceivedFrom && keepDateIn && prefix.empty()) return {};
  if (!oldBookReadsClosedOut(bookDate, trap)) return {};
  if (!openPassBook(TextBox::NewBookFolder, msg::ErrorOpeningNewBook, trap)) return {};
  long carried = 0;
  bool converted = true;
  scanKey(bookCursor, lastStatus, recordManager_, 0, trap, [&] {
    const gunbook::GunRecord& e = bookCursor.Record;
    if (!converted || e.DateIn > bookDate) return;
    ++carried;
    gunbook::GunRecord received = e;
    if (!keepReceivedFrom) receiveFromPreviousLicensee(received, view_, trap);
    converted = received == e && (keepDateIn || e.DateIn == bookDate) &&
                e.Field06.view().substr(0, prefix.size()) == prefix;
  });
  trap([&] { lastStatus = bookCursor.call(recordManager_, rm::op::Discard); });
  if (!converted || carried == 0 || outcome_ == Outcome::BookNotOpened) return {};
  std::string marks;
  if (!keepReceivedFrom) marks += " from the previous licensee";
  if (!keepDateIn) marks += " on the date";
  if (!prefix.empty())
    marks += ", with the prefix " + gunbook::fromWindows1252(prefix) + " at the start of its model";
  return "the books already read as converted (the old book holds no gun on hand received on "
         "or before the date, and every one of the " +
         std::to_string(carried) + " new-book entries received on or before it reads as received" +
         marks + ")";
}

bool Converter::mayConvertAgain(errortrap::Trap& trap) {
  const std::string bookDate = conversionDate(view_, trap);
  if (!isBookDate(bookDate)) return true;  // the passes say so
  std::string earlier;
  if (earlierConversion) trap([&] { earlier = earlierConversion(); });
  convertedBy_ = earlier.empty()
                     ? entriesReadAsConverted(bookDate, trap)
                     : "they are exactly as the conversion of " + earlier + " left them";
  if (outcome_ == Outcome::BookNotOpened) return false;
  if (convertedBy_.empty()) return true;

  std::string date, prefix;
  trap([&] { date = view_.text(TextBox::ConversionDate, 0); });
  trap([&] { prefix = newBookPrefix(view_); });
  const std::string found =
      "These books look converted on " + date + " already: " + convertedBy_ +
      ". Converting them again would " +
      (prefix.empty() ? "" : "put the prefix in front of the models once more and ") +
      "write the received-from details and dates again.";
  if (previewOnly) {
    trap([&] { view_.messageBox(found); });
    return true;
  }
  bool again = false;
  trap([&] { again = view_.confirm(Question::ConvertAgain, found + " Convert them again?"); });
  if (!again) outcome_ = Outcome::DeclinedAgain;
  return again;
}

}  // namespace varnok::conversion
