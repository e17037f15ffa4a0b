// The models a prefix would cut. Field06 holds 15 characters and the prefix
// goes in front of it, cut at the width: a long model loses its last
// characters, and a prefix of 15 or more replaces the model whole. The run
// finds them before any book is written and lets the operator say No.
#include <string>
#include <vector>

#include "conversion/converter.h"
#include "conversion/key_scan.h"
#include "conversion/pass_support.h"
#include "errortrap/trap.h"
#include "gunbook/blanks.h"
#include "gunbook/windows1252.h"
#include "recordmanager/status.h"

namespace varnok::conversion {
namespace {

constexpr std::size_t kNamedInMessage = 5;

std::string stockNumberOf(const gunbook::GunRecord& entry) {
  const std::string number(gunbook::withoutTrailingBlanks(entry.Field00.view()));
  return number.empty() ? "(blank stock number)" : gunbook::fromWindows1252(number);
}

// "3 guns carried into the new book: A1, A2, A3", the first few named.
std::string gunsNamed(const std::vector<std::string>& stockNumbers) {
  std::string text = std::to_string(stockNumbers.size()) +
                     (stockNumbers.size() == 1 ? " gun" : " guns") +
                     " carried into the new book (stock numbers ";
  for (std::size_t i = 0; i < stockNumbers.size() && i < kNamedInMessage; ++i)
    text += (i == 0 ? "" : ", ") + stockNumbers[i];
  if (stockNumbers.size() > kNamedInMessage)
    text += " and " + std::to_string(stockNumbers.size() - kNamedInMessage) + " more";
  return text + ")";
}

}  // namespace

bool Converter::modelsMayBeCut(errortrap::Trap& trap) {
  std::string prefix;
  trap([&] { prefix = newBookPrefix(view_); });
  if (prefix.empty()) return true;

  // The old book is written before the new book's pass: the new book is
  // read for this now. Held since its check, it is not read from disk again.
  if (!openPassBook(TextBox::NewBookFolder, msg::ErrorOpeningNewBook, trap)) return false;
  const std::string bookDate = passDateOrLeaveBook(trap);
  if (bookDate.empty()) return false;
  scanKey(bookCursor, lastStatus, recordManager_, 0, trap, [&] {
    const gunbook::GunRecord& e = bookCursor.Record;
    if (e.DateIn <= bookDate && !leftBeforeDate(e, bookDate) && prefixCutsModel(prefix, e.Field06))
      cutModels_.push_back(stockNumberOf(e));
  });
  // Nothing was changed: the book stays held, as it was, for its pass.
  trap([&] { lastStatus = bookCursor.call(recordManager_, rm::op::Discard); });
  if (cutModels_.empty()) return true;

  const std::string shownPrefix = gunbook::fromWindows1252(prefix);
  const std::string found =
      "The prefix " + shownPrefix + " does not fit in front of the model of " +
      gunsNamed(cutModels_) + ": the model holds 15 characters, so " +
      (prefix.size() >= 15 ? "the prefix alone would replace each of them."
                           : "each would lose its last characters.");
  if (previewOnly) {
    trap([&] { view_.messageBox(found); });
    return true;
  }
  bool cut = false;
  trap([&] { cut = view_.confirm(Question::CutModels, found + " Convert and cut them?"); });
  if (!cut) outcome_ = Outcome::Declined;
  return cut;
}

}  // namespace varnok::conversion
