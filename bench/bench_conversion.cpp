// Times whole conversions (book check, close-out, rebase) and the late
// disposal transfer on large book pairs.
//
//   bench_conversion [entries]   (default 100000 per book)
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "conversion/converter.h"
#include "conversion/form_values.h"
#include "gunbook/book_cursor.h"
#include "gunbook/book_folder.h"

namespace {

using namespace varnok;

class SilentView final : public conversion::FormValuesView {
 public:
  SilentView() {
    form.previousLicensee = {"PRIOR", "X", "X", "X", "X", "X"};
    form.newLicensee = {"NEWCO", "Y", "Y", "Y", "Y", "Y"};
    form.newBookPrefix = "NW";
    form.conversionDate = "06/30/2025";
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

std::string date(int year, int month, int day) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
  return text;
}

// A date within a year around the conversion date 2025-06-30.
std::string nearDate(std::mt19937& random, bool afterDate) {
  std::uniform_int_distribution<int> month(1, 12), day(1, 28);
  if (afterDate) return date(2025, 7 + month(random) % 6, day(random));
  return date(2024 + month(random) % 2, month(random) % 6 + 1, day(random));
}

enum class Shape { Realistic, Hard, SameDay };

void makeBook(const std::string& folder, int entries, Shape shape, unsigned seed) {
  std::filesystem::create_directories(folder);
  rm::RecordManager& engine = rm::bookEngine();
  gunbook::BookCursor cursor;
  cursor.KeyBuffer = gunbook::bookFileKey(folder);
  if (cursor.call(engine, rm::op::Create) != 0 || cursor.call(engine, rm::op::Open) != 0) {
    std::fprintf(stderr, "cannot make %s\n", folder.c_str());
    std::exit(1);
  }
  std::mt19937 random(seed);
  for (int i = 0; i < entries; ++i) {
    gunbook::GunRecord& r = cursor.Record;
    char number[16];
    std::snprintf(number, sizeof number, "G%08d", i);
    r.Field00 = number;
    r.Field03 = std::string("SN") + std::to_string(random());
    r.RecvLastName = "SELLER";
    r.Field06 = "STOCK";
    if (shape != Shape::Realistic) {
      // One gun in ten stays; the rest left before the date. Hard: about a
      // hundred entries a day over a thousand days around the date, so the
      // removal passes delete among many entries. SameDay: all of them came
      // in on three days, the worst case for restarting on a date.
      if (shape == Shape::Hard) {
        const int dayNumber = i / 100;  // 0..999 for 100,000 entries
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
    if (cursor.call(engine, rm::op::Insert) != 0) {
      std::fprintf(stderr, "insert failed\n");
      std::exit(1);
    }
  }
  cursor.call(engine, rm::op::Close);
}

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void measure(const char* name, int entries, Shape shape) {
  char pattern[] = "/tmp/varnok-bench-XXXXXX";
  const std::string scratch = mkdtemp(pattern);
  SilentView view;
  view.form.oldBookFolder = scratch + "/old/";
  view.form.newBookFolder = scratch + "/new/";
  makeBook(view.form.oldBookFolder, entries, shape, 1);
  makeBook(view.form.newBookFolder, entries, shape, 2);

  conversion::Converter converter(view, rm::bookEngine());
  auto start = std::chrono::steady_clock::now();
  converter.runConversion();
  const double conversion = seconds(start);
  std::printf("%-10s %8d + %-8d conversion %7.2f s  (%s; left %d new)\n", name, entries, entries,
              conversion, view.lastMessage.c_str(), converter.newBookCount);

  // The transfer on a fresh pair: after a conversion it would find nothing.
  std::filesystem::remove_all(scratch + "/old");
  std::filesystem::remove_all(scratch + "/new");
  makeBook(view.form.oldBookFolder, entries, shape, 3);
  makeBook(view.form.newBookFolder, 0, shape, 4);
  start = std::chrono::steady_clock::now();
  converter.transferLateDisposals();
  std::printf("%-10s %8d + %-8d transfer   %7.2f s\n", name, entries, entries, seconds(start));
  std::filesystem::remove_all(scratch);
}

}  // namespace

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
  measure("realistic", entries, Shape::Realistic);
  measure("hard", entries, Shape::Hard);
  measure("same-day", entries, Shape::SameDay);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak memory %.1f MiB\n", usage.ru_maxrss / 1024.0);
}
