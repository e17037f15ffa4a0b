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
#include <string>

#include "book_pairs.h"
#include "conversion/converter.h"

namespace {

using namespace varnok;
using bench::Shape;
using bench::SilentView;

void makeBook(const std::string& folder, int entries, Shape shape, unsigned seed) {
  bench::makeBook(folder, bench::makeEntries(entries, shape, seed));
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
  measure("spread", entries, Shape::Spread);
  measure("same-day", entries, Shape::SameDay);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak memory %.1f MiB\n", usage.ru_maxrss / 1024.0);
}
