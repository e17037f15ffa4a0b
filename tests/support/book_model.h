// What a pair of books must hold after a conversion or a late disposal
// transfer, stated entry by entry from the rules, apart from the passes' own
// code: which entries stay, which go, which are rewritten and how.
//
// Texts handed in here are already book text (Windows-1252); dates are in
// book date form (YYYYMMDD), blank dates eight blanks.
#pragma once

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "book_fixture.h"
#include "gunbook/gun_record.h"

namespace varnok::testing::model {

using gunbook::GunRecord;
using Book = std::vector<GunRecord>;
using Licensee = Person;

struct Inputs {
  std::string D;             // the conversion date, book form
  Licensee previous;         // Text1
  Licensee next;             // Text2
  std::string prefixTyped;   // Text5, as typed (ASCII)
  bool keepReceivedFrom = false;  // mnuOption1
  bool keepDateIn = false;        // mnuOption2
};

struct Books {
  Book oldBook;
  Book newBook;
};

// Still in the store: Status begins with "PAWN" or "SALE", exactly so.
inline bool inStore(const GunRecord& entry) {
  const std::string_view first4 = entry.Status.view().substr(0, 4);
  return first4 == "PAWN" || first4 == "SALE";
}

// Disposed of on D, "SOLD", to the new licensee. The close-out marks the
// disposal in DispFlag; the transfer leaves DispFlag alone.
inline GunRecord handedOver(GunRecord entry, const Inputs& in, bool setDispFlag) {
  entry = disposedTo(entry, in.next);
  entry.DateOut = in.D;
  entry.Status = "SOLD";
  if (setDispFlag) entry.DispFlag = -1;
  return entry;
}

// The prefix as the rebase uses it: upper case, without surrounding blanks.
inline std::string prefixOf(const Inputs& in) {
  std::string p = in.prefixTyped;
  p.erase(0, std::min(p.size(), p.find_first_not_of(' ')));
  while (!p.empty() && p.back() == ' ') p.pop_back();
  for (char& c : p) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return p;
}

inline GunRecord rebased(GunRecord entry, const Inputs& in) {
  if (!in.keepReceivedFrom) entry = receivedFrom(entry, in.previous);
  if (!in.keepDateIn) entry.DateIn = in.D;
  const std::string p = prefixOf(in);
  if (!p.empty()) entry.Field06 = (p + entry.Field06.str()).substr(0, 15);
  return entry;
}

// How many carried-over entries of the new book lose part of their model
// to the prefix: those whose model, without its trailing blanks, no longer
// fits beside the prefix in 15 characters.
inline std::size_t modelsCut(const Book& newBook, const Inputs& in) {
  const std::size_t room = 15 - std::min<std::size_t>(prefixOf(in).size(), 15);
  if (prefixOf(in).empty()) return 0;
  std::size_t cut = 0;
  for (const GunRecord& e : newBook) {
    std::string model = e.Field06.str();
    while (!model.empty() && model.back() == ' ') model.pop_back();
    const bool carried = e.DateIn <= in.D && (inStore(e) || !(e.DateOut < in.D));
    cut += carried && model.size() > room;
  }
  return cut;
}

// old' = { handedOver(e) : DateIn <= D, in store or DateOut > D }
//      ∪ { e : DateIn <= D, neither }
// new' = { e : DateIn > D }
//      ∪ { rebased(e) : DateIn <= D, not (out of store and DateOut < D) }
inline Books afterConversion(const Books& before, const Inputs& in) {
  Books after;
  for (const GunRecord& e : before.oldBook) {
    if (e.DateIn > in.D) continue;
    const bool hand = inStore(e) || e.DateOut > in.D;
    after.oldBook.push_back(hand ? handedOver(e, in, true) : e);
  }
  for (const GunRecord& e : before.newBook) {
    if (e.DateIn > in.D) {
      after.newBook.push_back(e);
    } else if (inStore(e) || !(e.DateOut < in.D)) {
      after.newBook.push_back(rebased(e, in));
    }
  }
  return after;
}

// old'' = { handedOver(e) without DispFlag : DateOut > D } ∪ { e : DateOut <= D }
// new'' = new ∪ { e received from the previous licensee on D : e ∈ old, DateOut > D }
inline Books afterTransfer(const Books& before, const Inputs& in) {
  Books after{{}, before.newBook};
  for (const GunRecord& e : before.oldBook) {
    if (e.DateOut > in.D) {
      after.oldBook.push_back(handedOver(e, in, false));
      GunRecord copy = receivedFrom(e, in.previous);
      copy.DateIn = in.D;
      after.newBook.push_back(copy);
    } else {
      after.oldBook.push_back(e);
    }
  }
  return after;
}

// Every field of the stored entry; bytes outside printable ASCII as \xNN.
inline std::string describeEntry(const GunRecord& entry) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto stored = gunbook::toStored(entry);
  std::string text;
  for (const auto& field : gunbook::kGunFields) {
    text += std::string(" ") + field.name + "=[";
    for (std::size_t i = field.offset; i < field.offset + field.width; ++i) {
      const uint8_t byte = stored[i];
      if (byte >= 0x20 && byte < 0x7f) {
        text += static_cast<char>(byte);
      } else {
        text += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 15];
      }
    }
    text += "]";
  }
  return text;
}

// Where two books differ, as multisets of stored entries keyed by Field00;
// empty when they hold the same entries.
inline std::string differences(Book expected, Book actual) {
  const auto byKey = [](const GunRecord& a, const GunRecord& b) {
    return gunbook::toStored(a) < gunbook::toStored(b);
  };
  std::sort(expected.begin(), expected.end(), byKey);
  std::sort(actual.begin(), actual.end(), byKey);
  const auto describe = [](const GunRecord& e) { return describeEntry(e); };
  std::string report;
  std::size_t i = 0, j = 0;
  while (i < expected.size() || j < actual.size()) {
    if (j == actual.size() || (i < expected.size() && byKey(expected[i], actual[j]))) {
      report += "\n  missing:   " + describe(expected[i++]);
    } else if (i == expected.size() || byKey(actual[j], expected[i])) {
      report += "\n  unexpected:" + describe(actual[j++]);
    } else {
      ++i, ++j;
    }
  }
  return report;
}

}  // namespace varnok::testing::model

namespace varnok::gunbook {
// How gtest shows an entry in a failed expectation.
inline void PrintTo(const GunRecord& entry, std::ostream* out) {
  *out << "{" << testing::model::describeEntry(entry) << " }";
}
}  // namespace varnok::gunbook
