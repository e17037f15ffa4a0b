// ConvNew: the new book rebase. The new book begins on the conversion date:
// guns that had left the store before it are removed, and every remaining
// entry received on or before it reads as received from the previous
// licensee on that date, with the new book's prefix in front of Field06.
#include <string>

#include "conversion/converter.h"
#include "conversion/pass_support.h"
#include "conversion/refused_write.h"
#include "conversion/removal_walk.h"
#include "errortrap/trap.h"
#include "recordmanager/status.h"

namespace varnok::conversion {
namespace {

// Upper case in the book's code page (Windows-1252): ASCII letters and the
// accented ones. Most accented small letters sit 0x20 above their capital;
// š, œ, ž and ÿ do not, and ß has no capital.
char upperWindows1252(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b >= 'a' && b <= 'z') return static_cast<char>(b - 0x20);
  if (b >= 0xE0 && b <= 0xFE && b != 0xF7) return static_cast<char>(b - 0x20);
  switch (b) {
    case 0x9A: return static_cast<char>(0x8A);  // š
    case 0x9C: return static_cast<char>(0x8C);  // œ
    case 0x9E: return static_cast<char>(0x8E);  // ž
    case 0xFF: return static_cast<char>(0x9F);  // ÿ
    default: return c;
  }
}

// The prefix box's text in book form, upper case, without leading or
// trailing blanks.
std::string prefixFrom(FormView& view) {
  std::string text = bookText(view, TextBox::Text5);
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  for (char& c : text) c = upperWindows1252(c);
  return text;
}

}  // namespace

void Converter::ConvNew() {
  errortrap::Trap T("Brelmark", "ConvNew", &view_);
  using errortrap::checkedAdd;

  // Opening.
  if (!openBookIn(TextBox::Text4, T)) {
    T([&] { view_.messageBox(msg::ErrorOpeningNewBook); });
    BooksValid = false;
    outcome_ = Outcome::BookNotOpened;
    return;
  }

  const std::string D = passDateOrLeaveBook(T);
  if (D.empty()) return;

  // Removal pass, key 1 (DateIn) from the lowest date: a gun received on or
  // before D that is no longer pawned or for sale and left before D. The
  // walk reads each entry once; visited counts the reads.
  int32_t deletions = 0;
  int32_t visited = 0;
  RemovalWalk removal(Gun, BtrStatus, recordManager_, T);
  removal.start(std::string(8, ' '));
  while (removal.onEntry()) {
    const gunbook::GunRecord& e = Gun.Record;
    const bool candidate =
        e.DateIn <= D && e.Status.left(4) != "PAWN" && e.Status.left(4) != "SALE";
    if (candidate && e.DateOut < D && removal.mayRemove() && removal.remove())
      T([&] { deletions = checkedAdd(deletions, 1); });
    removal.next();
    T([&] { visited = checkedAdd(visited, 1); });
    showProgress(view_, Bar::ProgressBar2, visited, NewGunCount, T);
  }
  T([&] { NewGunCount = errortrap::checkedSub(NewGunCount, deletions); });

  // Rewrite pass, key 0: every entry received on or before D now comes from
  // the previous licensee on D. Key 0 is on a field that is never written
  // here, so the walk meets each entry once.
  Gun.KeyBuffer = std::string(15, ' ');
  Gun.KeyNumber = 0;
  T([&] { BtrStatus = Gun.call(recordManager_, rm::op::GetGreaterOrEqual); });
  visited = 0;
  while (BtrStatus == 0) {
    if (Gun.Record.DateIn <= D) {
      gunbook::GunRecord& e = Gun.Record;
      bool keepReceivedFrom = false;
      T([&] { keepReceivedFrom = view_.checked(Option::mnuOption1); });
      if (!keepReceivedFrom) {
        T([&] { e.RecvAddress = bookText(view_, TextBox::Text1, 2); });
        T([&] { e.RecvCity = bookText(view_, TextBox::Text1, 3); });
        T([&] { e.RecvFirstName = bookText(view_, TextBox::Text1, 1); });
        T([&] { e.RecvLastName = bookText(view_, TextBox::Text1, 0); });
        T([&] { e.RecvState = bookText(view_, TextBox::Text1, 4); });
        T([&] { e.RecvZip = bookText(view_, TextBox::Text1, 5); });
      }
      bool keepDateIn = false;
      T([&] { keepDateIn = view_.checked(Option::mnuOption2); });
      if (!keepDateIn) e.DateIn = D;
      std::string prefix;
      T([&] { prefix = prefixFrom(view_); });
      // The prefix pushes the old value's last characters out of the field.
      if (!prefix.empty()) T([&] { e.Field06 = prefix + e.Field06.str(); });
      // Made even when nothing changed.
      T([&] {
        BtrStatus = Gun.call(recordManager_, rm::op::Update);
        raiseIfRefused(BtrStatus, rm::op::Update, Gun.Record);
      });
    }
    T([&] { visited = checkedAdd(visited, 1); });
    showProgress(view_, Bar::ProgressBar2, visited, NewGunCount, T);
    T([&] { BtrStatus = Gun.call(recordManager_, rm::op::GetNext); });
  }

  // Every change of the pass becomes durable here, or not at all.
  closeOrDrop(Gun, T);
}

}  // namespace varnok::conversion
