// What the transfer tests share: guns sold after the conversion date, what
// the transfer must make of them, and a pair of scratch books seen through a
// strict view.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "book_fixture.h"
#include "book_model.h"
#include "child_process.h"
#include "conversion_dates.h"
#include "conversion/converter.h"
#include "fake_view.h"
#include "faulty_record_manager.h"
#include "recordmanager/status.h"

namespace varnok::testing::transfer {

using conversion::Converter;
using errortrap::Answer;
using gunbook::GunRecord;
using Outcome = Converter::Outcome;

inline bool disposedAfterD(const GunRecord& entry) {
  return entry.DateOut > gunbook::FixedText<8>(kD);
}

// A gun sold after the conversion date, with a seller, a buyer and a flag.
inline GunRecord soldLater(const std::string& field00, const std::string& dateOut,
                           int16_t dispFlag) {
  GunRecord entry =
      disposedTo(receivedFrom(gun(field00, "20031102", dateOut, "SOLD"),
                              {"SELLER", "SAM", "4 SELLER LANE", "SELLTOWN", "OK", "73001"}),
                 {"BUYER", "BETTY", "7 BUYER BLVD", "BUYTOWN", "AR", "71601"});
  entry.DispFlag = dispFlag;
  entry.Field06 = "A77";
  entry.Field27 = "TWENTY CHARACTERS OK";
  return entry;
}

// What the transfer must make of a qualifying entry, field by field, for the
// licensees FakeView::fillIn types.
inline GunRecord closedInOldBook(GunRecord entry) {
  entry = disposedTo(entry, kNewLicensee);
  entry.DateOut = kD;
  entry.Status = "SOLD";
  return entry;
}
inline GunRecord copyInNewBook(GunRecord entry) {
  entry = receivedFrom(entry, kPreviousLicensee);
  entry.DateIn = kD;
  return entry;
}

class TransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldFolder = dir.folder("old");
    newFolder = dir.folder("new");
    view.fillIn(oldFolder, newFolder, kDateTyped);
  }

  Outcome fix(rm::RecordManager& manager = rm::bookEngine()) {
    Converter converter(view, manager);
    converter.booksValid = true;
    converter.transferLateDisposals();
    booksValid = converter.booksValid;
    return converter.outcome();
  }

  // Four guns: sold on D, sold before D, still in the store, sold later.
  static std::vector<GunRecord> mixedOldBook() {
    return {gun("G-1", "20031001", kD, "SOLD"), gun("G-2", "20031001", kDayBefore, "SOLD"),
            gun("G-3", "20031001", "", "PAWN"), soldLater("G-4", kDayAfter, 0)};
  }

  ScratchDir dir;
  std::string oldFolder, newFolder;
  StrictView view;
  bool booksValid = true;
};

}  // namespace varnok::testing::transfer
