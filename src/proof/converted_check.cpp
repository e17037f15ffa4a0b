#include "proof/converted_check.h"

#include <array>
#include <string_view>
#include <unordered_map>

#include "gunbook/blanks.h"
#include "gunbook/windows1252.h"
#include "proof/reconciliation.h"

namespace varnok::proof {
namespace {

using gunbook::FixedText;
using gunbook::GunRecord;

std::string text(std::string_view bookText) {
  return gunbook::fromWindows1252(gunbook::withoutTrailingBlanks(bookText));
}

std::string shownText(std::string_view bookText) {
  const std::string value = text(bookText);
  return value.empty() ? "blank" : "\"" + value + "\"";
}
template <std::size_t N>
std::string shown(const FixedText<N>& field) {
  return shownText(field.view());
}

bool onHand(const GunRecord& e) { return onHandStatus(e.Status); }

bool blank(std::string_view bookText) { return gunbook::withoutTrailingBlanks(bookText).empty(); }

// A licensee's six parts as the entry's name and address fields hold them,
// on either side: last name, first name, address, city, state, zip.
using Licensee = std::array<std::string_view, 6>;
constexpr std::size_t kLicenseeWidths[6] = {15, 20, 30, 20, 2, 5};
constexpr const char* kReceivedNames[6] = {"RecvLastName", "RecvFirstName", "RecvAddress",
                                           "RecvCity",     "RecvState",     "RecvZip"};

Licensee receivedFrom(const GunRecord& e) {
  return {e.RecvLastName.view(), e.RecvFirstName.view(), e.RecvAddress.view(),
          e.RecvCity.view(),     e.RecvState.view(),     e.RecvZip.view()};
}
Licensee disposedTo(const GunRecord& e) {
  return {e.DispLastName.view(), e.DispFirstName.view(), e.DispAddress.view(),
          e.DispCity.view(),     e.DispState.view(),     e.DispZip.view()};
}

// The licensee as the passes write it: each part fixed-width, as typed.
std::array<std::string, 6> asWritten(const std::array<std::string, 6>& typed) {
  std::array<std::string, 6> fields;
  for (std::size_t i = 0; i < 6; ++i) {
    fields[i] = typed[i].substr(0, kLicenseeWidths[i]);
    fields[i].resize(kLicenseeWidths[i], ' ');
  }
  return fields;
}
Licensee viewOf(const std::array<std::string, 6>& fields) {
  Licensee out;
  for (std::size_t i = 0; i < 6; ++i) out[i] = fields[i];
  return out;
}

// The received-from fields of `got` that differ from `want`, named.
std::string receivedDifferences(const Licensee& got, const Licensee& want) {
  std::string out;
  for (std::size_t i = 0; i < 6; ++i) {
    if (got[i] == want[i]) continue;
    out += std::string(out.empty() ? "" : ", ") + kReceivedNames[i] + " " + shownText(got[i]) +
           " (the rules give " + shownText(want[i]) + ")";
  }
  return out;
}

class Checker {
 public:
  Checker(const std::vector<GunRecord>& oldBook, const std::vector<GunRecord>& newBook,
          const ConversionTerms& terms)
      : terms_(terms),
        date_(terms.bookDate),
        previous_(asWritten(terms.previousLicensee)),
        next_(asWritten(terms.newLicensee)),
        prefix_(bookPrefix(terms.prefix)) {
    oldByStock_.reserve(oldBook.size());
    inNew_.reserve(newBook.size());
    for (const GunRecord& e : oldBook) oldByStock_.emplace(e.Field00.view(), &e);
    for (const GunRecord& e : newBook) {
      InNewBook& in = inNew_[e.Field00.view()];
      if (in.copies++ == 0) in.first = &e;
    }
    check_.bookDate = terms.bookDate;
  }

  ConvertedCheck run(const std::vector<GunRecord>& oldBook, const std::vector<GunRecord>& newBook) {
    for (const GunRecord& e : oldBook) checkOld(e);
    for (const GunRecord& e : newBook) checkNew(e);
    return std::move(check_);
  }

 private:
  bool handedOver(const GunRecord& e) const {
    return e.DateOut == date_ && disposedTo(e) == viewOf(next_);
  }

  void checkOld(const GunRecord& e) {
    const std::string stock = text(e.Field00.view());
    if (e.DateIn > date_) {
      check_.receivedAfter.push_back({stock, "received after the date (DateIn " +
                                                 text(e.DateIn.view()) + ")"});
      return;
    }
    if (onHand(e) || blank(e.DateOut.view()) || e.DateOut > date_) {
      check_.leftOpen.push_back(
          {stock, std::string(e.DateOut > date_ ? "disposed of after the date, "
                                                : "left open in the closed old book, ") +
                      "serial number " + shown(e.Field01) + ", Status " + shown(e.Status) +
                      ", DateIn " + shown(e.DateIn) + ", DateOut " + shown(e.DateOut)});
      return;
    }
    if (!handedOver(e)) return;
    ++check_.handedOver;
    const auto found = inNew_.find(e.Field00.view());
    const std::size_t copies = found == inNew_.end() ? 0 : found->second.copies;
    if (copies != 1) {
      check_.handOverFaults.push_back(
          {stock, copies == 0 ? "handed over to the new licensee, but absent from the new book"
                              : "handed over to the new licensee, but in the new book " +
                                    std::to_string(copies) + " times"});
      return;
    }
    const std::string faults = receivedFaults(e, *found->second.first);
    if (faults.empty()) {
      ++check_.received;
    } else {
      check_.handOverFaults.push_back({stock, "handed over, but the new book has " + faults});
    }
  }

  // How the new book's entry differs from what the rules make of the old
  // book's; empty when it does not.
  std::string receivedFaults(const GunRecord& o, const GunRecord& n) const {
    std::string out;
    const auto add = [&out](const std::string& what) { out += (out.empty() ? "" : "; ") + what; };
    const FixedText<8> dateIn = terms_.keepDateIn ? o.DateIn : FixedText<8>(date_);
    if (n.DateIn != dateIn)
      add("DateIn " + shown(n.DateIn) + " (the rules give " + shown(dateIn) + ")");
    if (std::string recv = receivedDifferences(
            receivedFrom(n), terms_.keepReceivedFrom ? receivedFrom(o) : viewOf(previous_));
        !recv.empty())
      add(recv);
    if (n.Field01 != o.Field01)
      add("serial number " + shown(n.Field01) + " (the old book has " + shown(o.Field01) + ")");
    if (n.Field03 != o.Field03)
      add("make " + shown(n.Field03) + " (the old book has " + shown(o.Field03) + ")");
    const FixedText<15> model = prefix_.empty() ? o.Field06 : FixedText<15>(prefix_ + o.Field06.str());
    if (n.Field06 != model)
      add("model " + shown(n.Field06) + " (the rules give " + shown(model) + ")");
    return out;
  }

  void checkNew(const GunRecord& n) {
    if (n.DateIn > date_) return;  // the new licensee's own
    const std::string stock = text(n.Field00.view());
    if (!terms_.keepDateIn && n.DateIn < date_) {
      check_.newBookFaults.push_back(
          {stock, "received before the date (DateIn " + shown(n.DateIn) + ")"});
      return;
    }
    const auto found = oldByStock_.find(n.Field00.view());
    if (found == oldByStock_.end()) {
      check_.newBookFaults.push_back(
          {stock, "received on or before the date, but absent from the old book"});
      return;
    }
    const GunRecord& o = *found->second;
    if (o.DateIn > date_ || handedOver(o)) return;  // found on the old book's side
    // Sold on the date to someone else: the new book keeps it, as sold then.
    if (o.DateOut == date_ && !onHand(o) && n.DateOut == date_ && !onHand(n)) {
      check_.disposedOnDate.push_back(stock);
      return;
    }
    check_.newBookFaults.push_back(
        {stock, "received on or before the date, but the old book does not hand it over to the "
                "new licensee (old book: DateOut " + shown(o.DateOut) + ", Status " +
                shown(o.Status) + ", disposed to " + shown(o.DispLastName) + "; new book: DateOut " +
                shown(n.DateOut) + ", Status " + shown(n.Status) + ")"});
  }

  const ConversionTerms& terms_;
  std::string date_;
  std::array<std::string, 6> previous_, next_;  // the licensees as the fields hold them
  std::string prefix_;
  std::unordered_map<std::string_view, const GunRecord*> oldByStock_;
  struct InNewBook {
    const GunRecord* first = nullptr;
    std::size_t copies = 0;
  };
  std::unordered_map<std::string_view, InNewBook> inNew_;
  ConvertedCheck check_;
};

void list(std::string& out, const char* heading, const std::vector<CheckFinding>& findings) {
  if (findings.empty()) return;
  out += std::string("\n") + heading + ":\n";
  for (const CheckFinding& f : findings) out += "  " + f.stockNumber + ": " + f.what + "\n";
}

void count(std::string& out, const char* what, std::size_t n) {
  out += std::string(what) + ": " + std::to_string(n) + "\n";
}

}  // namespace

std::string convertedCheckText(const ConvertedCheck& c) {
  std::string out = "Check of the converted books on " + bookDateLine(c.bookDate) + "\n";
  count(out, "Handed over to the new licensee on the date (old book)", c.handedOver);
  count(out, "Of them, received from the previous licensee as the rules give (new book)",
        c.received);
  count(out, "Hand-overs the new book does not show as the rules give", c.handOverFaults.size());
  count(out, "Received after the date (old book)", c.receivedAfter.size());
  count(out, "Left open or disposed of after the date (old book)", c.leftOpen.size());
  count(out, "Received before the date, or not handed over (new book)", c.newBookFaults.size());
  count(out, "Disposed of on the conversion date (notes)", c.disposedOnDate.size());
  out += c.proven() ? "The hand-over is proven.\n"
                    : "Exceptions: " + std::to_string(c.exceptions()) + "\n";
  list(out, "Hand-overs the new book does not show as the rules give", c.handOverFaults);
  list(out, "Received after the date (old book)", c.receivedAfter);
  list(out, "Left open or disposed of after the date (old book)", c.leftOpen);
  list(out, "Received before the date, or not handed over (new book)", c.newBookFaults);
  if (!c.disposedOnDate.empty()) {
    out += "\nNotes:\n";
    for (const std::string& stock : c.disposedOnDate)
      out += "  " + stock + ": disposed of on the conversion date: kept in both books\n";
  }
  return out;
}

std::string convertedCheckSummary(const ConvertedCheck& c) {
  std::string out = "  on " + bookDateLine(c.bookDate) + ": " + std::to_string(c.handedOver) +
                    " handed over (old book), " + std::to_string(c.received) +
                    " received as the rules give (new book)\n";
  return out + "  " + convertedCheckVerdict(c) + "; the details are in check.txt\n";
}

std::string convertedCheckVerdict(const ConvertedCheck& c) {
  return c.proven() ? "the hand-over is proven"
                    : "THE HAND-OVER IS NOT PROVEN: " + std::to_string(c.exceptions()) +
                          " exceptions";
}

ConvertedCheck checkConvertedBooks(const std::vector<GunRecord>& oldBook,
                                   const std::vector<GunRecord>& newBook,
                                   const ConversionTerms& terms) {
  return Checker(oldBook, newBook, terms).run(oldBook, newBook);
}

}  // namespace varnok::proof
