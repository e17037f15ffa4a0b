// The check of a pair of books after their conversion, by Varnok or by
// hand: do they prove the hand-over on the conversion date D?
//
// - Every old-book entry disposed of on D to the new licensee (DateOut D,
//   the six disposed-to fields the new licensee's) has exactly one new-book
//   entry of its stock number, received on D from the previous licensee
//   (or with the old book's DateIn, or its received-from details, where the
//   options kept them), with its serial number (Field01) and make
//   (Field03), and the model (Field06) the prefix gives: the prefix,
//   upper-cased and trimmed, in front of the old model, cut to 15.
// - No old-book entry is received after D, and none is left open: each has
//   a DateOut on or before D and a Status that no longer reads PAWN or SALE.
// - No new-book entry is received before D unless DateIn was kept, and each
//   received on or before D is one the old book hands over (or one both
//   books show disposed of on D to someone else: a note, kept in both).
//
// Texts compare as the books store them, fixed width; the licensees and
// the prefix are given as typed, in book text (Windows-1252).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "gunbook/gun_record.h"

namespace varnok::proof {

// What the conversion was asked to do.
struct ConversionTerms {
  std::string bookDate;  // D, YYYYMMDD
  std::array<std::string, 6> previousLicensee;  // last, first, address, city, state, zip
  std::array<std::string, 6> newLicensee;
  std::string prefix;
  bool keepReceivedFrom = false;
  bool keepDateIn = false;
};

// One finding: the entry's stock number and what is wrong with it. Texts are
// UTF-8 without trailing blanks.
struct CheckFinding {
  std::string stockNumber;
  std::string what;
};

struct ConvertedCheck {
  std::string bookDate;
  std::size_t handedOver = 0;  // old-book entries disposed of on D to the new licensee
  std::size_t received = 0;    // of them, received in the new book as the rules give

  std::vector<CheckFinding> handOverFaults;  // a hand-over the new book does not show as it should
  std::vector<CheckFinding> receivedAfter;   // old-book entries received after D
  std::vector<CheckFinding> leftOpen;        // old-book entries not closed on or before D
  std::vector<CheckFinding> newBookFaults;   // new-book entries before D, or not handed over
  std::vector<std::string> disposedOnDate;   // a note only: kept in both books

  std::size_t exceptions() const {
    return handOverFaults.size() + receivedAfter.size() + leftOpen.size() + newBookFaults.size();
  }
  bool proven() const { return exceptions() == 0; }
};

// Each list is in the order of the book given (key 0 order, as read).
ConvertedCheck checkConvertedBooks(const std::vector<gunbook::GunRecord>& oldBook,
                                   const std::vector<gunbook::GunRecord>& newBook,
                                   const ConversionTerms& terms);

// The check as `varnok-cli reconcile --converted` prints it and a run's
// report keeps it (check.txt).
std::string convertedCheckText(const ConvertedCheck& check);
// Two indented lines for a run's summary.
std::string convertedCheckSummary(const ConvertedCheck& check);
// Whether the hand-over is proven, as the summary says it: "the hand-over is
// proven" or "THE HAND-OVER IS NOT PROVEN: <n> exceptions".
std::string convertedCheckVerdict(const ConvertedCheck& check);

}  // namespace varnok::proof
