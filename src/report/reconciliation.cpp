#include "report/reconciliation.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "gunbook/blanks.h"
#include "gunbook/windows1252.h"

namespace varnok::report {
namespace {

using GunRecord = ReconciledEntry;

// A book's entries in stock-number order, each beside its stock number as
// two big-endian words: sorting and searching compare integers instead of
// following a pointer to each entry (the words order as the bytes do).
struct Keyed {
  uint64_t high, low;
  const GunRecord* entry;
};
using Index = std::vector<Keyed>;

Keyed keyed(const GunRecord& e) {
  uint8_t padded[16] = {};
  std::memcpy(padded, e.Field00.data(), e.Field00.width);
  const auto word = [&padded](int at) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = value << 8 | padded[at + i];
    return value;
  };
  return {word(0), word(8), &e};
}

bool sameStockNumber(const Keyed& a, const Keyed& b) { return a.high == b.high && a.low == b.low; }
bool stockNumberBefore(const Keyed& a, const Keyed& b) {
  return a.high != b.high ? a.high < b.high : a.low < b.low;
}

// Status as the passes read it: only its first four characters count.
bool onHand(const GunRecord& e) { return onHandStatus(e.Status); }

bool inStoreAtEnd(const GunRecord& e, std::string_view date) {
  return e.DateIn <= date && (onHand(e) || e.DateOut > date);
}

bool leftOnDate(const GunRecord& e, std::string_view date) {
  return e.DateIn <= date && !onHand(e) && e.DateOut == date;
}

bool carriedOver(const GunRecord& e, std::string_view date) {
  return e.DateIn <= date && (onHand(e) || e.DateOut >= date);
}

// Book text for people: UTF-8, no trailing blanks.
std::string text(std::string_view bookText) {
  return gunbook::fromWindows1252(gunbook::withoutTrailingBlanks(bookText));
}

std::string dateText(const gunbook::FixedText<8>& date) {
  const std::string value = text(date.view());
  return value.empty() ? "blank" : value;
}

// "DateIn 20250101, DateOut blank, Status SOLD"
std::string datesAndStatus(const GunRecord& e) {
  const std::string status = text(e.Status.view());
  return "DateIn " + dateText(e.DateIn) + ", DateOut " + dateText(e.DateOut) + ", Status " +
         (status.empty() ? "blank" : status);
}

// Why an entry received on or before the date is not there at its end, or
// why it was received later.
std::string whyGone(const GunRecord& e, std::string_view date) {
  if (e.DateIn > date) return "received after the date";
  if (gunbook::withoutTrailingBlanks(e.DateOut.view()).empty())
    return "not PAWN or SALE and no DateOut";
  return "left the store before the date";
}

Index indexByStockNumber(const ReconciledEntries& book) {
  Index index;
  index.reserve(book.size());
  for (const GunRecord& e : book) index.push_back(keyed(e));
  std::sort(index.begin(), index.end(), [](const Keyed& a, const Keyed& b) {
    return stockNumberBefore(a, b) || (sameStockNumber(a, b) && a.entry < b.entry);
  });
  // Key 0 keeps stock numbers unique; should a book not, its first counts.
  index.erase(std::unique(index.begin(), index.end(), sameStockNumber), index.end());
  return index;
}

// Finds stock numbers asked for in stock-number order, as a walk of the
// other book's index asks: one pass over the index in all.
class OrderedFinder {
 public:
  explicit OrderedFinder(const Index& index) : index_(index) {}
  const GunRecord* find(const Keyed& wanted) {
    while (at_ < index_.size() && stockNumberBefore(index_[at_], wanted)) ++at_;
    return at_ < index_.size() && sameStockNumber(index_[at_], wanted) ? index_[at_].entry
                                                                        : nullptr;
  }

 private:
  const Index& index_;
  std::size_t at_ = 0;
};

void compareFields(const GunRecord& o, const GunRecord& n, const std::string& prefix,
                   std::vector<FieldDifference>& differences) {
  const auto differ = [&](const char* field, std::string_view before, std::string_view after) {
    differences.push_back({text(o.Field00.view()), field, text(before), text(after)});
  };
  if (o.Field01 != n.Field01) differ("Field01", o.Field01.view(), n.Field01.view());
  if (o.Field03 != n.Field03) differ("Field03", o.Field03.view(), n.Field03.view());
  const bool sameModel =
      o.Field06 == n.Field06 ||
      (!prefix.empty() && gunbook::FixedText<15>(prefix + o.Field06.str()) == n.Field06);
  if (!sameModel) differ("Field06", o.Field06.view(), n.Field06.view());
}

// Groups the carried-over stock numbers by trimmed serial number, in order
// of each group's first stock number; keeps the groups of two or more. The
// entries outlive the groups, which hold views of them.
class SerialGroups {
 public:
  void add(const GunRecord& e) {
    const std::string_view serial = e.Field01.view();
    const auto first = serial.find_first_not_of(' ');
    if (first == std::string_view::npos) return;
    const std::string_view key = serial.substr(first, serial.find_last_not_of(' ') - first + 1);
    const auto [at, added] = groupOf_.emplace(key, groups_.size());
    if (added) groups_.push_back({key, {}});
    groups_[at->second].entries.push_back(&e);
  }
  std::vector<RepeatedSerial> repeated() const {
    std::vector<RepeatedSerial> out;
    for (const Group& group : groups_) {
      if (group.entries.size() < 2) continue;
      RepeatedSerial serial{text(group.serial), {}};
      for (const GunRecord* e : group.entries) serial.stockNumbers.push_back(text(e->Field00.view()));
      out.push_back(std::move(serial));
    }
    return out;
  }

 private:
  struct Group {
    std::string_view serial;
    std::vector<const GunRecord*> entries;
  };
  std::unordered_map<std::string_view, std::size_t> groupOf_;
  std::vector<Group> groups_;
};

void findNotCarriedOver(const Index& oldIndex, const Index& newIndex, Reconciliation& r) {
  OrderedFinder inNewBook(newIndex);
  for (const Keyed& oldKey : oldIndex) {
    const GunRecord* o = oldKey.entry;
    const std::string_view key = o->Field00.view();
    if (!inStoreAtEnd(*o, r.bookDate)) continue;
    ++r.inStore;
    if (o->DateOut > r.bookDate && !text(o->Field09.view()).empty())
      r.keptForm4473.push_back(
          {text(key), "disposed of on " + dateText(o->DateOut) + " with form 4473 number \"" +
                          text(o->Field09.view()) +
                          "\", kept beside the sale to the new licensee on the date"});
    const GunRecord* n = inNewBook.find(oldKey);
    if (!n) {
      r.notCarriedOver.push_back({text(key), "absent from the new book"});
    } else if (!carriedOver(*n, r.bookDate)) {
      r.notCarriedOver.push_back(
          {text(key), "in the new book but not carried over: " + whyGone(*n, r.bookDate) + " (" +
                      datesAndStatus(*n) + ")"});
    } else {
      ++r.matched;
    }
  }
}

void findNotInStore(const Index& oldIndex, const Index& newIndex, const std::string& prefix,
                    Reconciliation& r) {
  SerialGroups serials;
  OrderedFinder inOldBook(oldIndex);
  for (const Keyed& newKey : newIndex) {
    const GunRecord* n = newKey.entry;
    const std::string_view key = n->Field00.view();
    if (!carriedOver(*n, r.bookDate)) continue;
    ++r.carriedOver;
    serials.add(*n);
    const GunRecord* o = inOldBook.find(newKey);
    if (!o) {
      r.notInStore.push_back({text(key), "absent from the old book"});
      continue;
    }
    if (leftOnDate(*o, r.bookDate)) r.disposedOnDate.push_back(text(key));
    if (inStoreAtEnd(*o, r.bookDate) || leftOnDate(*o, r.bookDate)) {
      compareFields(*o, *n, prefix, r.differences);
    } else {
      r.notInStore.push_back(
          {text(key), "in the old book but not in the store on the date: " + whyGone(*o, r.bookDate) +
                      " (" + datesAndStatus(*o) + ")"});
    }
  }
  r.carriedTwice = serials.repeated();
}

bool blank(std::string_view bookText) {
  return gunbook::withoutTrailingBlanks(bookText).empty();
}

// Entries of the old book that neither pass closes though they are not
// closed: not on hand, no DateOut (so not handed over, and not carried
// over by the rebase either); and any with no date received.
void findOpenAndUndated(const Index& oldIndex, Reconciliation& r) {
  for (const Keyed& key : oldIndex) {
    const GunRecord& e = *key.entry;
    const bool open = e.DateIn <= r.bookDate && !onHand(e) && blank(e.DateOut.view());
    if (!open && !blank(e.DateIn.view())) continue;
    const std::string status = text(e.Status.view());
    (open ? r.leftOpen : r.blankDateIn)
        .push_back({text(e.Field00.view()), text(e.Field01.view()),
                    status.empty() ? "blank" : status, dateText(e.DateIn)});
  }
}

}  // namespace

std::string bookPrefix(std::string_view prefix) { return gunbook::trimmedUpperCase(prefix); }

std::size_t Reconciliation::discrepancies() const {
  return notCarriedOver.size() + notInStore.size() + carriedTwice.size() + differences.size() +
         leftOpen.size() + blankDateIn.size();
}

ReconciledEntry reconciledEntry(const gunbook::GunRecord& record) {
  return {record.Field00, record.Field01, record.Field03, record.Field06,
          record.DateIn,  record.DateOut, record.Status,  record.Field09};
}

ReconciledEntry reconciledEntry(const uint8_t* stored) {
  ReconciledEntry entry;
  const auto take = [stored](auto& text, std::size_t field) {
    const gunbook::GunField& where = gunbook::kGunFields[field];
    std::memcpy(text.data(), stored + where.offset, where.width);
  };
  take(entry.Field00, 0);
  take(entry.Field01, 1);
  take(entry.Field03, 3);
  take(entry.DateIn, 4);
  take(entry.Field06, 6);
  take(entry.DateOut, 7);
  take(entry.Status, 20);
  take(entry.Field09, 9);
  return entry;
}

Reconciliation reconcile(const std::vector<gunbook::GunRecord>& oldBook,
                         const std::vector<gunbook::GunRecord>& newBook, std::string_view bookDate,
                         std::string_view prefix) {
  ReconciledEntries books[2];
  for (int i = 0; i < 2; ++i) {
    const auto& book = i == 0 ? oldBook : newBook;
    books[i].reserve(book.size());
    for (const gunbook::GunRecord& record : book) books[i].push_back(reconciledEntry(record));
  }
  return reconcile(books[0], books[1], bookDate, prefix);
}

Reconciliation reconcile(const ReconciledEntries& oldBook, const ReconciledEntries& newBook,
                         std::string_view bookDate, std::string_view prefix) {
  Reconciliation r;
  r.bookDate = std::string(bookDate);
  const Index oldIndex = indexByStockNumber(oldBook);
  const Index newIndex = indexByStockNumber(newBook);
  findNotCarriedOver(oldIndex, newIndex, r);
  findNotInStore(oldIndex, newIndex, bookPrefix(prefix), r);
  findOpenAndUndated(oldIndex, r);
  return r;
}

}  // namespace varnok::report
