// The reconciliation as the reconcile command prints it and a run's report
// keeps it (reconciliation.txt).
#include <string>

#include "proof/reconciliation.h"

namespace varnok::proof {
namespace {

std::string fieldName(const std::string& field) {
  if (field == "Field01") return "Field01 (serial number)";
  if (field == "Field03") return "Field03 (make)";
  if (field == "Field06") return "Field06 (model)";
  return field;
}

// A stock number as the lists name it: a blank one would show as nothing.
std::string stockNumber(const std::string& number) {
  return number.find_first_not_of(' ') == std::string::npos ? "(blank stock number)" : number;
}

void count(std::string& out, const char* what, std::size_t n) {
  out += what;
  out += ": " + std::to_string(n) + "\n";
}

void listUnmatched(std::string& out, const char* heading, const std::vector<UnmatchedGun>& guns) {
  if (guns.empty()) return;
  out += std::string("\n") + heading + ":\n";
  for (const UnmatchedGun& gun : guns) {
    out += "  ";
    out += stockNumber(gun.stockNumber);
    out += ": ";
    out += gun.why;
    out += '\n';
  }
}

void listCarriedTwice(std::string& out, const std::vector<RepeatedSerial>& groups) {
  if (groups.empty()) return;
  out += "\nOne serial number carried over more than once:\n";
  for (const RepeatedSerial& group : groups) {
    std::string stockNumbers;
    for (const std::string& stock : group.stockNumbers)
      stockNumbers += (stockNumbers.empty() ? "" : ", ") + stockNumber(stock);
    out += "  " + stockNumbers + ": serial number \"" + group.serialNumber + "\"\n";
  }
}

void listDifferences(std::string& out, const std::vector<FieldDifference>& differences) {
  if (differences.empty()) return;
  out += "\nSerial number, make or model differ:\n";
  for (const FieldDifference& d : differences) {
    out += "  " + stockNumber(d.stockNumber) + ": " + fieldName(d.field) + " \"" + d.oldValue +
           "\" in the old book, \"" + d.newValue + "\" in the new book\n";
  }
}

void listOldBookEntries(std::string& out, const char* heading,
                        const std::vector<OldBookEntry>& entries) {
  if (entries.empty()) return;
  out += std::string("\n") + heading + ":\n";
  for (const OldBookEntry& e : entries)
    out += "  " + e.stockNumber + ": serial number \"" + e.serialNumber + "\", Status " +
           (e.status == "blank" ? e.status : "\"" + e.status + "\"") + ", DateIn " + e.dateIn +
           "\n";
}

}  // namespace

std::string bookDateLine(const std::string& bookDate) {
  if (bookDate.size() != 8) return bookDate;
  return bookDate.substr(4, 2) + "/" + bookDate.substr(6, 2) + "/" + bookDate.substr(0, 4) +
         " (" + bookDate + ")";
}

std::string reconciliationText(const Reconciliation& r) {
  const std::size_t discrepancies = r.discrepancies();
  std::string out;
  // Room for the long lists at once: a pair that does not reconcile at all
  // lists every gun.
  std::size_t listed = 0;
  for (const auto* guns : {&r.notCarriedOver, &r.notInStore})
    for (const UnmatchedGun& gun : *guns) listed += gun.stockNumber.size() + gun.why.size() + 5;
  out.reserve(listed + r.differences.size() * 96 + r.disposedOnDate.size() * 80 + 1024);
  out += "Reconciliation on " + bookDateLine(r.bookDate) + "\n";
  count(out, "In the store at the end of the date (old book)", r.inStore);
  count(out, "Carried over (new book)", r.carriedOver);
  count(out, "Matched by stock number", r.matched);
  count(out, "In the store but not carried over", r.notCarriedOver.size());
  count(out, "Carried over but not in the store", r.notInStore.size());
  count(out, "Serial numbers carried over more than once", r.carriedTwice.size());
  count(out, "Serial number, make or model differ", r.differences.size());
  count(out, "Left open in the closed old book", r.leftOpen.size());
  count(out, "Other old-book entries with DateIn blank", r.blankDateIn.size());
  count(out, "Disposed of on the conversion date (notes)", r.disposedOnDate.size());
  out += discrepancies == 0 ? "The books reconcile.\n"
                            : "Discrepancies: " + std::to_string(discrepancies) + "\n";

  listUnmatched(out, "In the store but not carried over", r.notCarriedOver);
  listUnmatched(out, "Carried over but not in the store", r.notInStore);
  listCarriedTwice(out, r.carriedTwice);
  listDifferences(out, r.differences);
  listOldBookEntries(out,
                     "Left open in the closed old book (received on or before the date, no "
                     "DateOut, Status not PAWN or SALE: neither handed over nor carried over)",
                     r.leftOpen);
  listOldBookEntries(out, "DateIn blank in the old book", r.blankDateIn);
  if (!r.leftOpen.empty() || !r.blankDateIn.empty())
    out += "\nCorrect these entries in the store program before converting (the Status of a "
           "gun still in the store begins PAWN or SALE, a gun gone has its DateOut, every "
           "entry its DateIn), then preview again.\n";
  if (!r.disposedOnDate.empty() || !r.keptForm4473.empty()) {
    out += "\nNotes:\n";
    for (const std::string& stock : r.disposedOnDate)
      out += "  " + stockNumber(stock) +
             ": disposed of on the conversion date: kept in both books\n";
    for (const UnmatchedGun& gun : r.keptForm4473)
      out += "  " + stockNumber(gun.stockNumber) + ": " + gun.why + "\n";
  }
  return out;
}

std::string warningsText(const Reconciliation& r, const std::vector<std::string>& cutModels) {
  std::string out;
  const auto list = [&](const std::string& what, std::size_t count, const auto& stockOf,
                        const auto& items) {
    if (count == 0) return;
    out += "  " + std::to_string(count) + " " + what + ":";
    std::size_t shown = 0;
    for (const auto& item : items) {
      if (shown++ == 8) {
        out += " ...";
        break;
      }
      out += " " + stockNumber(stockOf(item));
    }
    out += "\n";
  };
  const auto same = [](const std::string& s) { return s; };
  list("model(s) the prefix cuts to the field's 15 characters", cutModels.size(), same, cutModels);
  list("gun(s) disposed of on the date itself, which stay in both books", r.disposedOnDate.size(),
       same, r.disposedOnDate);
  list("gun(s) handed over that keep a later disposal's form 4473 number (Field09) while they "
       "now read as sold to the new licensee",
       r.keptForm4473.size(), [](const UnmatchedGun& g) { return g.stockNumber; }, r.keptForm4473);
  list("entr(ies) left open in the closed old book (see reconciliation.txt)", r.leftOpen.size(),
       [](const OldBookEntry& e) { return e.stockNumber; }, r.leftOpen);
  return out.empty() ? out : "Warnings (what an inspector would ask about; no rule changes):\n" + out;
}

std::string reconciliationVerdict(const Reconciliation& r) {
  const std::size_t found = r.discrepancies();
  return found == 0 ? "the books reconcile"
                    : "THE BOOKS DO NOT RECONCILE: " + std::to_string(found) + " discrepancies";
}

std::string reconciliationSummary(const Reconciliation& r) {
  std::string out = "  on " + bookDateLine(r.bookDate) + ": " + std::to_string(r.inStore) +
                    " in the store (old book), " + std::to_string(r.carriedOver) +
                    " carried over (new book), " + std::to_string(r.matched) + " matched\n";
  out += "  " + reconciliationVerdict(r) + ", " + std::to_string(r.disposedOnDate.size()) +
         " disposed of on the date (notes); the details are in reconciliation.txt\n";
  return out;
}

}  // namespace varnok::proof
