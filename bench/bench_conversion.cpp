// Times whole conversions (book check, close-out, rebase) and the late
// disposal transfer on large book pairs, and the realistic conversion side
// by side with the same conversion leaving its report (backups of both
// books, changes.csv, summary.txt).
//
//   bench_conversion [entries] [report [rounds]]   (default 100000 per book;
//   with report, only the side by side, so that the peak memory is its own;
//   5 rounds of each by default)
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "book_pairs.h"
#include "conversion/converter.h"
#include "report/run_report.h"

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

// The sizes of the last pair's two book files before its conversion.
std::uintmax_t pairBytes[2] = {0, 0};

// The process's processor time so far, every thread's, in seconds.
double processorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto of = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
  return of(usage.ru_utime) + of(usage.ru_stime);
}

struct Timing {
  double wall, processor;
};

// One conversion of a fresh realistic pair, with or without its report.
Timing timedConversion(const std::string& scratch, int entries, bool withReport) {
  SilentView view;
  view.form.oldBookFolder = scratch + "/old/";
  view.form.newBookFolder = scratch + "/new/";
  std::filesystem::remove_all(scratch + "/old");
  std::filesystem::remove_all(scratch + "/new");
  std::filesystem::remove_all(scratch + "/reports");
  makeBook(view.form.oldBookFolder, entries, Shape::Realistic, 1);
  makeBook(view.form.newBookFolder, entries, Shape::Realistic, 2);
  pairBytes[0] = std::filesystem::file_size(view.form.oldBookFolder + "FILE3.DAT");
  pairBytes[1] = std::filesystem::file_size(view.form.newBookFolder + "FILE3.DAT");
  // The pair on disk before the clock starts, as a shop's books are: else
  // the run's flushes would also write out the pair just made, and the run
  // with a report makes more of them.
  ::sync();
  const double processorAtStart = processorSeconds();
  const auto start = std::chrono::steady_clock::now();
  if (withReport) {
    report::RunReport report(report::RunKind::Convert, report::Mode::Run, scratch + "/reports",
                             view.form, rm::bookEngine());
    conversion::Converter converter(view, report.recordManager());
    converter.runConversion();
    report.finish(converter);
  } else {
    conversion::Converter converter(view, rm::bookEngine());
    converter.runConversion();
  }
  return {seconds(start), processorSeconds() - processorAtStart};
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Alternates the two, `rounds` times each, on a machine others may be
// using: the medians, of the time and of the processor time every thread
// took, say what the record costs.
void measureReport(int entries, int rounds) {
  char pattern[] = "/tmp/varnok-bench-XXXXXX";
  const std::string scratch = mkdtemp(pattern);
  std::vector<double> plain, reported, plainCpu, reportedCpu;
  for (int round = 0; round < rounds; ++round) {
    const Timing without = timedConversion(scratch, entries, false);
    const Timing with = timedConversion(scratch, entries, true);
    plain.push_back(without.wall);
    plainCpu.push_back(without.processor);
    reported.push_back(with.wall);
    reportedCpu.push_back(with.processor);
  }
  std::printf("realistic  %8d + %-8d conversion median %.3f s, with report and backups %.3f s: "
              "%.3f times (best %.3f s and %.3f s)\n",
              entries, entries, median(plain), median(reported), median(reported) / median(plain),
              *std::min_element(plain.begin(), plain.end()),
              *std::min_element(reported.begin(), reported.end()));
  std::printf("processor time, every thread: median %.3f s, with report %.3f s: %.3f times\n",
              median(plainCpu), median(reportedCpu), median(reportedCpu) / median(plainCpu));
  std::printf("book files before the run: %.1f MiB + %.1f MiB\n", pairBytes[0] / 1048576.0,
              pairBytes[1] / 1048576.0);
  std::filesystem::remove_all(scratch);
}

}  // namespace

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
  if (argc <= 2 || std::string(argv[2]) != "report") {
    measure("realistic", entries, Shape::Realistic);
    measure("spread", entries, Shape::Spread);
    measure("same-day", entries, Shape::SameDay);
  }
  measureReport(entries, argc > 3 ? std::max(1, std::atoi(argv[3])) : 5);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak memory %.1f MiB\n", usage.ru_maxrss / 1024.0);
}
