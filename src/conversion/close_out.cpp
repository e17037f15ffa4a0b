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

void Converter::ConvertOld() {
  errortrap::Trap T("Brelmark", "ConvertOld", &view_);

  // Opening.
  if (!openBookIn(TextBox::Text3, T)) {
    T([&] { view_.messageBox(msg::ErrorOpeningOldFile); });
    // Tells the run that this pass did not reach its book.
    outcome_ = Outcome::BookNotOpened;
    return;
  }

  const std::string D = passDateOrLeaveBook(T);
  if (D.empty()) return;

  // Removal pass, key 1 (DateIn) from D: guns received after D belong to
  // the new book.
  RemovalWalk removal(Gun, BtrStatus, recordManager_, T);
  removal.start(D);
  while (removal.onEntry()) {
    if (Gun.Record.DateIn > D && removal.mayRemove()) removal.remove();
    removal.next();
  }

  // The on-hand pass and the late-disposal pass share one visited count, so
  // the bar runs on from the first into the second.
  int32_t visited = 0;
  auto handOver = [&] {
    disposeToNewLicensee(Gun.Record, view_, D, T);
    Gun.Record.DispFlag = -1;
    T([&] {
      BtrStatus = Gun.call(recordManager_, rm::op::Update);
      raiseIfRefused(BtrStatus, rm::op::Update, Gun.Record);
    });
  };
  auto progress = [&] {
    T([&] { visited = checkedAdd(visited, 1); });
    showProgress(view_, Bar::ProgressBar1, visited, OldGunCount, T);
  };

  // On-hand pass, key 3: guns still in the store.
  Gun.KeyBuffer = std::string(15, ' ');
  Gun.KeyNumber = 3;
  T([&] { BtrStatus = Gun.call(recordManager_, rm::op::GetGreaterOrEqual); });
  while (BtrStatus == 0) {
    const std::string_view kind = Gun.Record.Status.left(4);
    if (kind == "SALE" || kind == "PAWN") handOver();
    progress();
    T([&] { BtrStatus = Gun.call(recordManager_, rm::op::GetNext); });
  }

  // Late-disposal pass, key 3: guns that left the store after D were still
  // in it on D.
  Gun.KeyBuffer = std::string(15, ' ');
  Gun.KeyNumber = 3;
  T([&] { BtrStatus = Gun.call(recordManager_, rm::op::GetGreaterOrEqual); });
  while (BtrStatus == 0) {
    if (Gun.Record.DateOut > D) handOver();
    progress();
    T([&] { BtrStatus = Gun.call(recordManager_, rm::op::GetNext); });
  }

  // Every change of the pass becomes durable here, or not at all.
  closeOrDrop(Gun, T);
}

}  // namespace varnok::conversion
