// Times the inspector's pack of a converted pair: the statement and both
// listings as a PDF (Letter and A4) and the two CSVs, from the run's report
// folder, best of five each (others may be using the machine), with the
// processor time it took, which their work does not lengthen.
//
//   bench_pack [entries]   (default 5000 per book)
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "book_pairs.h"
#include "conversion/converter.h"
#include "pack/pack.h"
#include "report/run_report.h"

namespace {

using namespace varnok;
using namespace varnok::bench;

// The entries of a shape with every field the listings print filled, names
// and places long enough that cells wrap as a shop's do.
std::vector<gunbook::GunRecord> filledEntries(int entries, unsigned seed, char letter) {
  std::vector<gunbook::GunRecord> records = makeEntries(entries, Shape::Realistic, seed, letter);
  int i = 0;
  for (gunbook::GunRecord& r : records) {
    const std::string n = std::to_string(++i);
    r.Field01 = "SER" + n + "X7Q";
    r.Field02 = i % 3 ? "9MM" : ".357MAG";
    r.Field03 = i % 2 ? "SMITH & WESSON" : "SIG SAUER";
    r.Field06 = i % 2 ? "M&P9 SHIELD" : "P365";
    r.Field21 = i % 4 ? "PISTOL" : "REVOLVER";
    r.RecvFirstName = "CHRISTOPHER";
    r.RecvAddress = n + " SOUTH TREADAWAY BLVD APT 12";
    r.RecvCity = "SWEETWATER";
    r.RecvState = "TX";
    r.RecvZip = "79556";
    if (r.Status == "SOLD") {
      r.DispLastName = "NÚÑEZ";
      r.DispFirstName = "MARIA JOSEFINA";
      r.DispAddress = n + " NORTH CATCLAW DRIVE";
      r.DispCity = "ABILENE";
      r.DispState = "TX";
      r.DispZip = "79601";
      r.Field09 = "4473 #" + n;
    }
  }
  return records;
}

// The PDF's pages, and the listings' entries (their CSV rows).
long pagesOf(const std::filesystem::path& pdf) {
  std::ifstream in(pdf, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  long pages = 0;
  for (std::size_t at = bytes.find("/Type /Page"); at != std::string::npos;
       at = bytes.find("/Type /Page", at + 1))
    pages += bytes.compare(at, 12, "/Type /Pages") != 0;
  return pages;
}

long rowsOf(const std::filesystem::path& csv) {
  std::ifstream in(csv, std::ios::binary);
  long rows = -1;  // the headings
  for (std::string line; std::getline(in, line);) ++rows;
  return rows;
}

double seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::atoi(argv[1]) : 5000;
  char pattern[] = "/tmp/varnok-bench-XXXXXX";
  const std::string scratch = mkdtemp(pattern);
  SilentView view;
  view.form.oldBookFolder = scratch + "/old/";
  view.form.newBookFolder = scratch + "/new/";
  makeBook(view.form.oldBookFolder, filledEntries(entries, 1, 'G'));
  makeBook(view.form.newBookFolder, filledEntries(entries + entries / 20, 2, 'G'));
  report::RunReport report(report::RunKind::Convert, report::Mode::Run, scratch + "/reports",
                           view.form, rm::bookEngine());
  conversion::Converter converter(view, report.recordManager());
  converter.runConversion();
  const std::filesystem::path folder = report.finish(converter);
  for (const pack::Paper paper : {pack::Paper::Letter, pack::Paper::A4}) {
    double best = 1e9, bestCpu = 1e9;
    pack::PackResult made;
    for (int round = 0; round < 5; ++round) {
      const auto start = std::chrono::steady_clock::now();
      const std::clock_t cpuStart = std::clock();
      made = pack::makePack(folder, {paper, {}});
      best = std::min(best, seconds(start));
      bestCpu = std::min(bestCpu, double(std::clock() - cpuStart) / CLOCKS_PER_SEC);
      if (!made.ok) {
        std::fprintf(stderr, "no pack: %s\n", made.problem.c_str());
        return 1;
      }
    }
    std::printf("pack of a %d + %d pair, %s: best %.2f s (%.2f s of processor time), PDF %.1f MB\n",
                entries, entries + entries / 20, paper == pack::Paper::A4 ? "A4" : "Letter", best,
                bestCpu, double(std::filesystem::file_size(made.pdf)) / 1e6);
    std::printf("  %ld pages; listings of %ld and %ld entries\n", pagesOf(made.pdf),
                rowsOf(folder / "inspector-old-book.csv"), rowsOf(folder / "inspector-new-book.csv"));
  }
  std::filesystem::remove_all(scratch);
  return 0;
}
