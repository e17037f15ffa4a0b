// Reconciliation of a pair of gun books on a conversion date: do the guns in
// the store at the end of that date, according to the old book, match the
// guns the new book carries over?
//
// With D the conversion date in book form (YYYYMMDD) and "on hand" meaning
// that Status begins with PAWN or SALE (its first four characters, exactly):
// - in the store at the end of D (old book): DateIn <= D, and on hand or
//   DateOut > D;
// - left the store on D (old book): DateIn <= D, not on hand, DateOut == D;
// - carried over (new book): DateIn <= D, and on hand or DateOut >= D: the
//   entries the rebase keeps and rewrites.
// - left open (old book): DateIn <= D, not on hand, DateOut blank: the
//   close-out neither hands it over nor does the rebase carry it, so it
//   stays open in the closed old book.
// Dates compare as the book stores them, byte by byte: a blank date comes
// before every real one. Guns match by stock number (Field00).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gunbook/gun_record.h"

namespace varnok::report {

// One gun found on one side only. Texts are UTF-8, without trailing blanks.
struct UnmatchedGun {
  std::string stockNumber;
  std::string why;  // e.g. "absent from the new book"
};

// One serial number on two or more stock numbers carried over.
struct RepeatedSerial {
  std::string serialNumber;
  std::vector<std::string> stockNumbers;  // in stock-number order
};

// A field of one gun that reads differently in the two books.
struct FieldDifference {
  std::string stockNumber;
  std::string field;  // "Field01", "Field03" or "Field06"
  std::string oldValue;
  std::string newValue;
};

// An old-book entry the conversion would leave as it is though it should not
// be: left open, or with no date received.
struct OldBookEntry {
  std::string stockNumber;
  std::string serialNumber;
  std::string status;  // "blank" when blank
  std::string dateIn;  // "blank" when blank
};

struct Reconciliation {
  std::string bookDate;         // D
  std::size_t inStore = 0;      // in the store at the end of D, per the old book
  std::size_t carriedOver = 0;  // carried over by the new book
  std::size_t matched = 0;      // both of these

  std::vector<UnmatchedGun> notCarriedOver;     // in the store, not carried over
  std::vector<UnmatchedGun> notInStore;         // carried over, neither in the store nor left on D
  std::vector<RepeatedSerial> carriedTwice;     // one serial number carried in twice or more
  std::vector<FieldDifference> differences;     // serial number, make or model changed
  std::vector<OldBookEntry> leftOpen;           // stays open in the closed old book
  std::vector<OldBookEntry> blankDateIn;        // any other old-book entry with DateIn blank
  std::vector<std::string> disposedOnDate;      // left on D and carried over: a note only
  // Handed over though disposed of after D, keeping that disposal's form
  // 4473 number (Field09) beside the sale to the new licensee: a note only.
  std::vector<UnmatchedGun> keptForm4473;

  // The entries of the lists above but the last; any is a discrepancy.
  std::size_t discrepancies() const;
  bool hasDiscrepancy() const { return discrepancies() > 0; }
};

// What the reconciliation reads of an entry: a tenth of the whole, so that
// two large books fit in memory beside a run.
struct ReconciledEntry {
  gunbook::FixedText<15> Field00;
  gunbook::FixedText<12> Field01;
  gunbook::FixedText<15> Field03;
  gunbook::FixedText<15> Field06;
  gunbook::FixedText<8> DateIn;
  gunbook::FixedText<8> DateOut;
  gunbook::FixedText<15> Status;
  gunbook::FixedText<15> Field09;  // the form 4473 number
  friend bool operator==(const ReconciledEntry&, const ReconciledEntry&) = default;
};
ReconciledEntry reconciledEntry(const gunbook::GunRecord& record);
// From the 376-byte stored form.
ReconciledEntry reconciledEntry(const uint8_t* stored);

// Status as the passes read it: on hand when its first four characters are
// exactly PAWN or SALE.
inline bool onHandStatus(const gunbook::FixedText<15>& status) {
  const std::string_view kind = status.left(4);
  return kind == "PAWN" || kind == "SALE";
}

// "06/30/2025 (20250630)" for a book date of eight digits; else as it is.
std::string bookDateLine(const std::string& bookDate);

// The prefix as the rebase puts it in front of Field06: book text with its
// leading and trailing blanks dropped, upper-cased.
std::string bookPrefix(std::string_view prefix);

// Reconciles two books' entries (each with unique stock numbers, as key 0
// keeps them) on the book date D. The serial number (Field01), make (Field03)
// and model (Field06) are compared for every gun carried over that the old
// book has in the store or left on D. `prefix` is the new book's prefix: a
// new model that reads as the prefix followed by the old model, cut to the
// field's width, is the same model. The prefix is book text
// (Windows-1252); as the rebase does, its leading and trailing blanks are
// dropped and it is upper-cased first. Every list is in stock-number order.
using ReconciledEntries = std::vector<ReconciledEntry>;
Reconciliation reconcile(const ReconciledEntries& oldBook, const ReconciledEntries& newBook,
                         std::string_view bookDate,
                         std::string_view prefix = {});
Reconciliation reconcile(const std::vector<gunbook::GunRecord>& oldBook,
                         const std::vector<gunbook::GunRecord>& newBook, std::string_view bookDate,
                         std::string_view prefix = {});

// The reconciliation as plain UTF-8 text: the counts, then every finding on
// a line of its own that names the stock number. The same reconciliation
// always gives the same text.
std::string reconciliationText(const Reconciliation& reconciliation);

// What the rules will do that an inspector would question, for a preview,
// a run's summary and the window, a line each under "Warnings": the models
// the prefix cuts (`cutModels`, stock numbers), the guns disposed of on the
// date (kept in both books), those handed over that keep a later
// disposal's form 4473 number, the entries left open. Empty when none.
std::string warningsText(const Reconciliation& reconciliation,
                         const std::vector<std::string>& cutModels);

// Two indented lines for a run's summary: the counts, and whether the books
// reconcile.
std::string reconciliationSummary(const Reconciliation& reconciliation);

}  // namespace varnok::report
