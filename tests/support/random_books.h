// Random pairs of small books around a random conversion date, and a window
// filled in at random, for tests that check a run against rules stated apart
// from the passes' own code.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "book_model.h"
#include "fake_view.h"

namespace varnok::testing {

// A value as typed on the window (UTF-8) and as the book must store it
// (Windows-1252: the accented letters used here are one byte each).
struct Typed {
  std::string utf8;
  std::string book;
};

inline const std::vector<Typed> kNames{
    {"SMITH", "SMITH"},
    {"smith", "smith"},
    {"   ", "   "},
    {"X", "X"},
    {"O'NEIL-WORTHINGTON-SMYTHE THE THIRD OF ARKANSAS",
     "O'NEIL-WORTHINGTON-SMYTHE THE THIRD OF ARKANSAS"},
    {"M\xC3\xBCller", "M\xFCller"},
    {"Jos\xC3\xA9 \xC3\x91u\xC3\xB1"
     "ez",
     "Jos\xE9 \xD1u\xF1"
     "ez"},
    {"750011234", "750011234"},
    {"TEXAS", "TEXAS"},
    {" 12 Main St ", " 12 Main St "},
};
inline const std::vector<std::string> kStatuses{"PAWN",  "SALE", "SOLD",     "PAWNED", "SALE ITEM",
                                         "pawn",  " PAWN", "",        "Sale",   "PAW",
                                         "SALES", "SOLD OUT", "PAWN SHOP HOLD"};
inline const std::vector<std::string> kPrefixes{"",  "   ", "nw", " nw ", "AB", "x",
                                         "LONGPREFIXOVER15CHARS", "a b", "Zz9", " q"};
inline const std::vector<std::string> kDates{"03/15/2004", "01/01/2000", "12/31/1999", "02/29/2008",
                                      "03/01/2008"};

// MM/DD/YYYY to YYYYMMDD, by the characters' places.
inline std::string bookDate(const std::string& typed) {
  return typed.substr(6, 4) + typed.substr(0, 2) + typed.substr(3, 2);
}

inline std::string shiftedDate(const std::string& bookD, int days) {
  using namespace std::chrono;
  const year_month_day ymd{year{std::stoi(bookD.substr(0, 4))},
                           month{static_cast<unsigned>(std::stoi(bookD.substr(4, 2)))},
                           day{static_cast<unsigned>(std::stoi(bookD.substr(6, 2)))}};
  const year_month_day shifted{sys_days{ymd} + std::chrono::days{days}};
  const auto twoDigits = [](unsigned n) { return std::string(1, char('0' + n / 10)) + char('0' + n % 10); };
  return std::to_string(static_cast<int>(shifted.year())) +
         twoDigits(static_cast<unsigned>(shifted.month())) +
         twoDigits(static_cast<unsigned>(shifted.day()));
}

class Generator {
 public:
  explicit Generator(uint32_t seed) : rng_(seed) {}

  int upTo(int n) { return std::uniform_int_distribution<int>(0, n)(rng_); }
  bool chance(int percent) { return upTo(99) < percent; }
  template <class T>
  const T& pick(const std::vector<T>& values) {
    return values[upTo(static_cast<int>(values.size()) - 1)];
  }

  // Blank, on D, a day or two either side, far off, or anywhere within a
  // year of D.
  std::string dateAround(const std::string& D) {
    switch (upTo(9)) {
      case 0: return "";
      case 1: return shiftedDate(D, -1);
      case 2: return D;
      case 3: return shiftedDate(D, 1);
      case 4: return shiftedDate(D, upTo(1) ? 2 : -2);
      case 5: return upTo(1) ? "19000101" : "20991231";
      default: return shiftedDate(D, upTo(800) - 400);
    }
  }

  std::string text(int maxLength) {
    static const std::string kChars = "ABCXYZabcxyz0189 -/.,'\xE9\xC9\xFF";
    std::string value(upTo(maxLength), ' ');
    for (char& c : value) c = kChars[upTo(static_cast<int>(kChars.size()) - 1)];
    return value;
  }

  gunbook::GunRecord entry(const std::string& field00, const std::string& D) {
    gunbook::GunRecord e;
    e.Field00 = field00;
    e.Field01 = text(14);
    e.Field02 = text(8);
    switch (upTo(4)) {
      case 0: e.Field03 = std::string(15, '\0'); break;
      case 1: e.Field03 = ""; break;
      case 2: e.Field03 = "SAME SERIAL"; break;
      default: e.Field03 = text(17);
    }
    e.DateIn = dateAround(D);
    e.DateOut = dateAround(D);
    e.Status = pick(kStatuses);
    e.Field06 = text(17);
    for (auto* field : {&e.RecvLastName, &e.DispLastName, &e.Field09, &e.Field21, &e.Field22,
                        &e.Field23})
      *field = text(16);
    for (auto* field : {&e.RecvFirstName, &e.DispFirstName, &e.RecvCity, &e.DispCity})
      *field = text(21);
    e.RecvAddress = text(31);
    e.DispAddress = text(31);
    e.RecvState = text(3);
    e.DispState = text(3);
    e.RecvZip = text(6);
    e.DispZip = text(6);
    e.Field24 = text(8);
    e.Field26 = text(7);
    e.Field27 = text(20);  // the 21st character is never stored
    e.DispFlag = pick(std::vector<int16_t>{0, -1, 1, 32767});
    return e;
  }

  // Up to 40 entries a book. With unique Field00s no entry of one book
  // shares its Field00 with the other; otherwise the new book may start as a
  // copy of the old, as it does in a store.
  model::Books books(const std::string& D, bool uniqueAcrossBooks) {
    model::Books b;
    const int oldCount = upTo(40);
    for (int i = 0; i < oldCount; ++i) b.oldBook.push_back(entry(id('O', i), D));
    if (!uniqueAcrossBooks && chance(33)) {
      b.newBook = b.oldBook;
      b.newBook.resize(upTo(oldCount));
    }
    const int newCount = upTo(40 - static_cast<int>(b.newBook.size()));
    for (int i = 0; i < newCount; ++i)
      b.newBook.push_back(entry(id(uniqueAcrossBooks ? 'N' : 'O', 100 + i), D));
    return b;
  }

  // Fills the window at random and states the same inputs in book text.
  model::Inputs fillIn(FakeView& view, const std::string& oldFolder, const std::string& newFolder) {
    model::Inputs in;
    view.fillIn(withBlanks(oldFolder), withBlanks(newFolder), pick(kDates));
    in.D = bookDate(view.form.conversionDate);
    for (int i = 0; i < 6; ++i) {
      const Typed previous = chance(1) ? Typed{} : pick(kNames);
      const Typed next = chance(1) ? Typed{} : pick(kNames);
      view.form.previousLicensee[i] = previous.utf8;
      view.form.newLicensee[i] = next.utf8;
      in.previous[i] = previous.book;
      in.next[i] = next.book;
    }
    view.form.newBookPrefix = in.prefixTyped = pick(kPrefixes);
    view.form.keepReceivedFrom = in.keepReceivedFrom = chance(50);
    view.form.keepDateIn = in.keepDateIn = chance(50);
    view.form.leaveReceivedInfo = chance(50);
    return in;
  }

  void shuffle(model::Book& book) { std::shuffle(book.begin(), book.end(), rng_); }

 private:
  // The key 0 order differs from the order of insertion.
  std::string id(char book, int i) {
    return std::string(1, book) + std::to_string(1000 + i) + (chance(50) ? "-" : "x") +
           text(6);
  }
  // A folder typed without its final separator and with trailing blanks.
  std::string withBlanks(const std::string& folder) {
    return chance(50) ? folder : folder.substr(0, folder.size() - 1) + std::string(upTo(3), ' ');
  }

  std::mt19937 rng_;
};

}  // namespace varnok::testing
