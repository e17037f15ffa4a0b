// Makes the fuzz seed corpora from the sample books:
//   fuzz_make_seeds EXAMPLES OUT
// OUT/csv gets the sample CSV files and one of their first five entries;
// OUT/book a book file made from each of them through the engine, and an
// empty book.
#include <cstdio>
#include <filesystem>
#include <string>

#include "book_test_support.h"
#include "booktool/book_csv.h"

namespace {

namespace fs = std::filesystem;
using varnok::rmtest::readBytes;
using varnok::rmtest::writeBytes;

bool makeBook(const fs::path& out, const std::string& name, const std::string& csv) {
  const auto import = varnok::booktool::readBookCsv(csv);
  if (import.problem) {
    std::fprintf(stderr, "%s: %s\n", name.c_str(), import.problem->text().c_str());
    return false;
  }
  const fs::path work = out / "work";
  fs::create_directories(work);
  const std::string path = (work / "FILE3.DAT").string();
  varnok::rmtest::Book book;
  if (book.create(path) != 0 || book.open(path) != 0) return false;
  for (const auto& entry : import.entries) {
    varnok::rmtest::Record record;
    std::copy(entry.stored.begin(), entry.stored.end(), record.begin());
    if (book.insert(record) != 0) return false;
  }
  if (book.close() != 0) return false;
  writeBytes((out / "book" / (name + ".book")).string(), readBytes(path));
  fs::remove_all(work);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fuzz_make_seeds EXAMPLES OUT\n");
    return 2;
  }
  const fs::path examples = argv[1], out = argv[2];
  fs::remove_all(out);
  fs::create_directories(out / "book");
  fs::create_directories(out / "csv");
  const std::string old = readBytes((examples / "old-book.csv").string());
  const std::string neu = readBytes((examples / "new-book.csv").string());
  // The header and the first five rows (no sample value holds a line break).
  std::size_t end = 0;
  for (int line = 0; line < 6 && end != std::string::npos; ++line) end = old.find('\n', end + 1);
  const std::string small = old.substr(0, end == std::string::npos ? old.size() : end + 1);
  const std::pair<const char*, std::string> sources[] = {
      {"old", old}, {"new", neu}, {"small", small}, {"empty", varnok::booktool::bookCsvHeader()}};
  for (const auto& [name, csv] : sources) {
    if (csv.empty()) {
      std::fprintf(stderr, "missing sample book %s in %s\n", name, argv[1]);
      return 1;
    }
    writeBytes((out / "csv" / (std::string(name) + ".csv")).string(), csv);
    if (!makeBook(out, name, csv)) {
      std::fprintf(stderr, "cannot make the seed book %s\n", name);
      return 1;
    }
  }
  return 0;
}
