// Book pairs for the benchmarks: entries of a few shapes, books made from
// them through the engine, and a window that answers as an operator would.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "conversion/form_values.h"
#include "gunbook/book_cursor.h"
#include "gunbook/book_folder.h"
#include "gunbook/gun_record.h"

namespace varnok::bench {

// Conversion date 06/30/2025; the licensees and prefix the window holds.
inline constexpr const char* kDate = "06/30/2025";
inline constexpr const char* kBookDate = "20250630";

class SilentView final : public conversion::FormValuesView {
 public:
  SilentView() {
    form.previousLicensee = {"PRIOR", "X", "X", "X", "X", "X"};
    form.newLicensee = {"NEWCO", "Y", "Y", "Y", "Y", "Y"};
    form.newBookPrefix = "NW";
    form.conversionDate = kDate;
  }
  void setVisible(conversion::Shown, bool) override {}
  void setBarValue(conversion::Bar, float) override { ++barUpdates; }
  void setMousePointer(int) override {}
  void messageBox(const std::string& text) override { lastMessage = text; }
  errortrap::Answer errorReport(const std::string& message) override {
    std::fprintf(stderr, "unexpected error report:\n%s\n", message.c_str());
    return errortrap::Answer::Abort;
  }

  std::string lastMessage;
  long barUpdates = 0;
};

inline std::string date(int year, int month, int day) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
  return text;
}

// A date within a year around the conversion date 2025-06-30.
inline std::string nearDate(std::mt19937& random, bool afterDate) {
  std::uniform_int_distribution<int> month(1, 12), day(1, 28);
  if (afterDate) return date(2025, 7 + month(random) % 6, day(random));
  return date(2024 + month(random) % 2, month(random) % 6 + 1, day(random));
}

// Realistic: a year of trade around the date. Spread: one gun in ten
// stays, about a hundred entries a day over a thousand days, so the
// removals fall among kept entries all along. SameDay: the same, but all
// received on three days (a shop that entered its stock on the day it
// began keeping the book electronically).
enum class Shape { Realistic, Spread, SameDay };

// Field00 is `letter` and a running number: books of one pair take
// different letters, so that the late disposal transfer's copies are new
// to the new book.
inline std::vector<gunbook::GunRecord> makeEntries(int entries, Shape shape, unsigned seed,
                                                   char letter = 'G') {
  std::vector<gunbook::GunRecord> records(static_cast<std::size_t>(entries));
  std::mt19937 random(seed);
  for (int i = 0; i < entries; ++i) {
    gunbook::GunRecord& r = records[std::size_t(i)];
    char number[16];
    std::snprintf(number, sizeof number, "%c%08d", letter, i);
    r.Field00 = number;
    r.Field03 = std::string("SN") + std::to_string(random());
    r.RecvLastName = "SELLER";
    r.Field06 = "STOCK";
    if (shape != Shape::Realistic) {
      if (shape == Shape::Spread) {
        const int dayNumber = i / 100;
        r.DateIn = date(2024 + dayNumber / 336, 1 + dayNumber / 28 % 12, 1 + dayNumber % 28);
      } else {
        r.DateIn = date(2025, 6, 1 + i % 3);
      }
      const bool stays = i % 10 == 0;
      r.Status = stays ? "PAWN" : "SOLD";
      r.DateOut = stays ? "        " : std::string(r.DateIn.view());
    } else {
      const bool after = random() % 10 == 0;
      r.DateIn = nearDate(random, after);
      const unsigned kind = random() % 10;
      r.Status = kind < 2 ? "PAWN" : kind < 4 ? "SALE" : "SOLD";
      r.DateOut = kind < 4 ? std::string(8, ' ') : nearDate(random, random() % 8 == 0);
    }
  }
  return records;
}

inline void makeBook(const std::string& folder, const std::vector<gunbook::GunRecord>& records) {
  std::filesystem::create_directories(folder);
  rm::RecordManager& engine = rm::bookEngine();
  gunbook::BookCursor cursor;
  cursor.KeyBuffer = gunbook::bookFileKey(folder);
  if (cursor.call(engine, rm::op::Create) != 0 || cursor.call(engine, rm::op::Open) != 0) {
    std::fprintf(stderr, "cannot make %s\n", folder.c_str());
    std::exit(1);
  }
  for (const gunbook::GunRecord& record : records) {
    cursor.Record = record;
    if (cursor.call(engine, rm::op::Insert) != 0) {
      std::fprintf(stderr, "insert failed\n");
      std::exit(1);
    }
  }
  if (cursor.call(engine, rm::op::Close) != 0) {
    std::fprintf(stderr, "cannot close %s\n", folder.c_str());
    std::exit(1);
  }
}

}  // namespace varnok::bench
