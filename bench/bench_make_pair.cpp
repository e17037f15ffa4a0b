// Makes a book pair of the benchmarks' shapes in a folder (DIR/old and
// DIR/new), so that varnok-cli can be timed and its peak memory measured
// on it from outside, e.g. with /usr/bin/time -v.
//
//   bench_make_pair DIR [entries] [realistic|spread|same-day]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "book_pairs.h"

int main(int argc, char** argv) {
  using namespace varnok;
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_make_pair DIR [entries] [realistic|spread|same-day]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const int entries = argc > 2 ? std::atoi(argv[2]) : 100000;
  const char* shapeName = argc > 3 ? argv[3] : "realistic";
  const bench::Shape shape = std::strcmp(shapeName, "spread") == 0     ? bench::Shape::Spread
                             : std::strcmp(shapeName, "same-day") == 0 ? bench::Shape::SameDay
                                                                       : bench::Shape::Realistic;
  bench::makeBook(folder + "/old/", bench::makeEntries(entries, shape, 1));
  bench::makeBook(folder + "/new/", bench::makeEntries(entries + entries / 20, shape, 2, 'H'));
  return 0;
}
