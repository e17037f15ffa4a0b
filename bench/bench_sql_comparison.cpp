// A whole conversion side by side with the same job done by set-based SQL,
// and with the floor of reading and rewriting both book files once, on one
// machine in one run; the ratios are what to read.
//
//   bench_sql_comparison [entries] [large]
//
// entries: default 100000 old + 5 % more new. With large (e.g. 1000000),
// the realistic pair of that size is measured too, and its time divided
// by the realistic pair of entries printed as the growth.
//
// The SQL run: both books' entries loaded beforehand into one SQLite file
// database (each field a column holding its stored bytes), then, timed
// from opening the file to COMMIT, the close-out and the rebase as four
// statements in one transaction, with the same journal and sync settings
// the books use. The late disposal transfer ("Fix") is timed the same way
// against its set-based SQL, on a fresh copy of the pair. Before timing, a
// small pair is converted and fixed both ways and the results compared
// entry by entry.
//
// Then varnok-cli itself converts, fixes and imports copies of the pair in
// child processes, and the peak resident memory of each is printed beside
// its limit: twice the bytes of the books involved plus 50 MB.
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "book_pairs.h"
#include "cli_runs.h"
#include "conversion/converter.h"

namespace {

using namespace varnok;
using bench::Shape;
namespace fs = std::filesystem;

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void check(int rc, sqlite3* db, const char* what) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) return;
  std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
  std::exit(1);
}

// Field text as the book stores it: blank-padded and cut to the width.
std::string fixed(const std::string& text, std::size_t width) {
  std::string out = text.substr(0, width);
  out.resize(width, ' ');
  return out;
}

std::string columnList() {
  std::string columns;
  for (const auto& field : gunbook::kGunFields)
    columns += std::string(columns.empty() ? "" : ", ") + field.name;
  return columns;
}

void loadSql(const std::string& path, const std::vector<gunbook::GunRecord>& oldBook,
             const std::vector<gunbook::GunRecord>& newBook) {
  sqlite3* db = nullptr;
  check(sqlite3_open(path.c_str(), &db), db, "open");
  std::string columns;
  for (const auto& field : gunbook::kGunFields)
    columns += std::string(columns.empty() ? "" : ", ") + field.name + " BLOB" +
               (std::strcmp(field.name, "Field00") == 0 ? " PRIMARY KEY" : "");
  check(sqlite3_exec(db, ("PRAGMA journal_mode=DELETE; BEGIN; CREATE TABLE old(" + columns +
                          "); CREATE TABLE new(" + columns + ");").c_str(),
                     nullptr, nullptr, nullptr),
        db, "create");
  for (const char* table : {"old", "new"}) {
    std::string sql = std::string("INSERT INTO ") + table + " VALUES(";
    for (std::size_t i = 0; i < gunbook::kGunFields.size(); ++i) sql += i ? ", ?" : "?";
    sqlite3_stmt* insert = nullptr;
    check(sqlite3_prepare_v2(db, (sql + ")").c_str(), -1, &insert, nullptr), db, "prepare");
    for (const auto& record : std::strcmp(table, "old") == 0 ? oldBook : newBook) {
      const gunbook::StoredRecord stored = gunbook::toStored(record);
      sqlite3_reset(insert);
      int column = 1;
      for (const auto& field : gunbook::kGunFields)
        sqlite3_bind_blob(insert, column++, stored.data() + field.offset, int(field.width),
                          SQLITE_TRANSIENT);
      check(sqlite3_step(insert), db, "insert");
    }
    sqlite3_finalize(insert);
  }
  check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  sqlite3_close(db);
}

// The conversion as set-based SQL, from opening the file to COMMIT.
double convertSql(const std::string& path) {
  const auto start = std::chrono::steady_clock::now();
  sqlite3* db = nullptr;
  check(sqlite3_open(path.c_str(), &db), db, "open");
  const std::string D = bench::kBookDate;
  auto text = [](const std::string& value, std::size_t width) {
    return "CAST('" + fixed(value, width) + "' AS BLOB)";
  };
  const std::string dateD = text(D, 8), sold = text("SOLD", 15);
  const std::string onHand =
      "(substr(Status, 1, 4) IN (CAST('PAWN' AS BLOB), CAST('SALE' AS BLOB)))";
  const std::string sql =
      "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; BEGIN;"
      // Close-out: later entries go; guns on hand or disposed of later are
      // sold to the new licensee on D.
      " DELETE FROM old WHERE DateIn > " + dateD + ";"
      " UPDATE old SET DispAddress = " + text("Y", 30) + ", DispCity = " + text("Y", 20) +
      ", DateOut = " + dateD + ", DispFirstName = " + text("Y", 20) + ", DispLastName = " +
      text("NEWCO", 15) + ", DispState = " + text("Y", 2) + ", DispZip = " + text("Y", 5) +
      ", Status = " + sold + ", DispFlag = X'FFFF' WHERE " + onHand + " OR DateOut > " + dateD + ";"
      // Rebase: guns gone before D go; the rest received by D come from the
      // previous licensee on D, with the prefix in front of Field06.
      " DELETE FROM new WHERE DateIn <= " + dateD + " AND NOT " + onHand + " AND DateOut < " +
      dateD + ";"
      " UPDATE new SET RecvAddress = " + text("X", 30) + ", RecvCity = " + text("X", 20) +
      ", RecvFirstName = " + text("X", 20) + ", RecvLastName = " + text("PRIOR", 15) +
      ", RecvState = " + text("X", 2) + ", RecvZip = " + text("X", 5) + ", DateIn = " + dateD +
      ", Field06 = CAST(substr(CAST('NW' AS BLOB) || Field06, 1, 15) AS BLOB) WHERE DateIn <= " +
      dateD + ";"
      " COMMIT;";
  check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, "convert");
  sqlite3_close(db);
  return seconds(start);
}

// The late disposal transfer as set-based SQL, from opening the file to
// COMMIT: entries disposed of after D are copied into the new book as
// received from the previous licensee on D (a copy whose Field00 the new
// book holds is left out, as the book refuses it), then sold to the new
// licensee on D in the old book.
double fixSql(const std::string& path) {
  const auto start = std::chrono::steady_clock::now();
  sqlite3* db = nullptr;
  check(sqlite3_open(path.c_str(), &db), db, "open");
  auto text = [](const std::string& value, std::size_t width) {
    return "CAST('" + fixed(value, width) + "' AS BLOB)";
  };
  const std::string dateD = text(bench::kBookDate, 8);
  const std::map<std::string, std::string> received = {
      {"RecvLastName", "PRIOR"}, {"RecvFirstName", "X"}, {"RecvAddress", "X"},
      {"RecvCity", "X"},         {"RecvState", "X"},     {"RecvZip", "X"}};
  std::string copied;
  for (const auto& field : gunbook::kGunFields) {
    const auto it = received.find(field.name);
    copied += copied.empty() ? "" : ", ";
    copied += it != received.end()                      ? text(it->second, field.width)
              : std::strcmp(field.name, "DateIn") == 0 ? dateD
                                                       : std::string(field.name);
  }
  const std::string sql =
      "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; BEGIN;"
      " INSERT OR IGNORE INTO new SELECT " + copied + " FROM old WHERE DateOut > " + dateD + ";"
      " UPDATE old SET DispAddress = " + text("Y", 30) + ", DispCity = " + text("Y", 20) +
      ", DateOut = " + dateD + ", DispFirstName = " + text("Y", 20) + ", DispLastName = " +
      text("NEWCO", 15) + ", DispState = " + text("Y", 2) + ", DispZip = " + text("Y", 5) +
      ", Status = " + text("SOLD", 15) + " WHERE DateOut > " + dateD + ";"
      " COMMIT;";
  check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, "fix");
  sqlite3_close(db);
  return seconds(start);
}

// Every entry's stored bytes by Field00, from the SQL table.
std::map<std::string, std::string> sqlEntries(const std::string& path, const char* table) {
  sqlite3* db = nullptr;
  check(sqlite3_open(path.c_str(), &db), db, "open");
  sqlite3_stmt* select = nullptr;
  check(sqlite3_prepare_v2(db, ("SELECT " + columnList() + " FROM " + table).c_str(), -1, &select,
                           nullptr),
        db, "select");
  std::map<std::string, std::string> entries;
  while (sqlite3_step(select) == SQLITE_ROW) {
    std::string stored(gunbook::kStoredRecordLength, '\0');
    int column = 0;
    for (const auto& field : gunbook::kGunFields) {
      const void* bytes = sqlite3_column_blob(select, column);
      const auto length = std::size_t(sqlite3_column_bytes(select, column));
      std::memcpy(stored.data() + field.offset, bytes, std::min(field.width, length));
      ++column;
    }
    entries[stored.substr(0, 15)] = stored;
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
  return entries;
}

std::map<std::string, std::string> bookEntries(const std::string& folder) {
  gunbook::BookCursor cursor;
  rm::RecordManager& engine = rm::bookEngine();
  cursor.KeyBuffer = gunbook::bookFileKey(folder);
  std::map<std::string, std::string> entries;
  if (cursor.call(engine, rm::op::Open) != 0) return entries;
  cursor.KeyBuffer = std::string(15, ' ');
  cursor.KeyNumber = 0;
  for (int16_t s = cursor.call(engine, rm::op::GetGreaterOrEqual); s == 0;
       s = cursor.call(engine, rm::op::GetNext)) {
    const gunbook::StoredRecord stored = gunbook::toStored(cursor.Record);
    const std::string bytes(stored.begin(), stored.end());
    entries[bytes.substr(0, 15)] = bytes;
  }
  cursor.call(engine, rm::op::Discard);
  return entries;
}

// Reads both book files whole and writes each to a new file, synced.
double readAndRewrite(const std::vector<std::string>& files) {
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const std::string copy = file + ".copy";
    FILE* out = std::fopen(copy.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fflush(out);
    fsync(fileno(out));
    std::fclose(out);
    fs::remove(copy);
  }
  return seconds(start);
}

struct Pair {
  std::string scratch;
  bench::SilentView view;
  std::string sqlPath;
};

void preparePair(Pair& pair, int entries, Shape shape) {
  char pattern[] = "/tmp/varnok-bench-XXXXXX";
  pair.scratch = mkdtemp(pattern);
  pair.view.form.oldBookFolder = pair.scratch + "/old/";
  pair.view.form.newBookFolder = pair.scratch + "/new/";
  const auto oldBook = bench::makeEntries(entries, shape, 1);
  const auto newBook = bench::makeEntries(entries + entries / 20, shape, 2, 'H');
  bench::makeBook(pair.view.form.oldBookFolder, oldBook);
  bench::makeBook(pair.view.form.newBookFolder, newBook);
  pair.sqlPath = pair.scratch + "/books.sqlite";
  loadSql(pair.sqlPath, oldBook, newBook);
}

template <typename Procedure>
double runOurs(bench::SilentView& view, Procedure procedure) {
  conversion::Converter converter(view, rm::bookEngine());
  const auto start = std::chrono::steady_clock::now();
  (converter.*procedure)();
  return seconds(start);
}

double convertOurs(Pair& pair) {
  const double taken = runOurs(pair.view, &conversion::Converter::runConversion);
  if (pair.view.lastMessage != "Finished") {
    std::fprintf(stderr, "the conversion did not finish: %s\n", pair.view.lastMessage.c_str());
    std::exit(1);
  }
  return taken;
}

// A copy of the pair's books (and of its SQL file) under folder, with a
// window pointing at them.
void copyPair(const Pair& pair, Pair& copy, const std::string& folder) {
  copy.scratch = folder;
  copy.view.form.oldBookFolder = folder + "/old/";
  copy.view.form.newBookFolder = folder + "/new/";
  copy.sqlPath = folder + "/books.sqlite";
  fs::create_directories(folder);
  fs::copy(pair.view.form.oldBookFolder, copy.view.form.oldBookFolder);
  fs::copy(pair.view.form.newBookFolder, copy.view.form.newBookFolder);
  fs::copy_file(pair.sqlPath, copy.sqlPath);
}

bool agree(const Pair& pair) {
  return bookEntries(pair.view.form.oldBookFolder) == sqlEntries(pair.sqlPath, "old") &&
         bookEntries(pair.view.form.newBookFolder) == sqlEntries(pair.sqlPath, "new");
}

// Converts, and fixes, a small pair both ways and compares the books entry
// by entry.
bool resultsAgree() {
  Pair pair, fixed;
  preparePair(pair, 3000, Shape::Realistic);
  copyPair(pair, fixed, pair.scratch + "/fix");
  convertOurs(pair);
  convertSql(pair.sqlPath);
  runOurs(fixed.view, &conversion::Converter::transferLateDisposals);
  fixSql(fixed.sqlPath);
  const bool same = agree(pair) && agree(fixed);
  fs::remove_all(pair.scratch);
  return same;
}

long long pairBytes(const Pair& pair) {
  return bench::fileBytes(pair.view.form.oldBookFolder + "FILE3.DAT") +
         bench::fileBytes(pair.view.form.newBookFolder + "FILE3.DAT");
}

// varnok-cli convert, fix and book import on fresh copies of a pair (made
// by copyPair before anything ran on it): time and peak memory.
void measureCli(bench::Launcher& cli, Pair& converted, Pair& fixed) {
  const long long bytes = pairBytes(converted);
  const std::string csv = converted.scratch + "/new.csv";
  const std::string imported = converted.scratch + "/imported/";
  cli.run({"book", "export", converted.view.form.newBookFolder, csv});
  bench::printPeak("convert", cli.run(bench::formArgs("convert", converted.view.form.oldBookFolder,
                                                            converted.view.form.newBookFolder)),
                   bytes);
  bench::printPeak("fix", cli.run(bench::formArgs("fix", fixed.view.form.oldBookFolder,
                                                        fixed.view.form.newBookFolder)),
                   std::max(bytes, pairBytes(fixed)));
  cli.run({"book", "create", imported});
  const bench::ChildRun run = cli.run({"book", "import", imported, csv});
  bench::printPeak("book import", run, bench::fileBytes(imported + "FILE3.DAT"));
  std::fflush(stdout);
}

double measure(bench::Launcher& cli, const char* name, int entries, Shape shape) {
  Pair pair, fixed, cliConverted, cliFixed;
  preparePair(pair, entries, shape);
  copyPair(pair, fixed, pair.scratch + "/fix");
  copyPair(pair, cliConverted, pair.scratch + "/cli-convert");
  copyPair(pair, cliFixed, pair.scratch + "/cli-fix");
  const double floor =
      readAndRewrite({pair.view.form.oldBookFolder + "FILE3.DAT", pair.view.form.newBookFolder + "FILE3.DAT"});
  const double ours = convertOurs(pair);
  const double sql = convertSql(pair.sqlPath);
  const double fixOurs = runOurs(fixed.view, &conversion::Converter::transferLateDisposals);
  const double fixBySql = fixSql(fixed.sqlPath);
  std::printf("%-10s %8d + %-8d  varnok %7.2f s   SQL %7.2f s   floor %6.2f s"
              "   varnok/SQL %5.2f   varnok/floor %6.1f\n",
              name, entries, entries + entries / 20, ours, sql, floor, ours / sql, ours / floor);
  std::printf("  %-12s varnok %7.2f s   SQL %7.2f s   varnok/SQL %5.2f\n", "fix", fixOurs,
              fixBySql, fixOurs / fixBySql);
  std::printf("  varnok-cli on copies of the pair:\n");
  std::fflush(stdout);
  measureCli(cli, cliConverted, cliFixed);
  fs::remove_all(pair.scratch);
  return ours;
}

}  // namespace

int main(int argc, char** argv) {
  bench::Launcher cli;  // first, while this process is small
  const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
  if (!resultsAgree()) {
    std::fprintf(stderr, "the SQL runs and varnok disagree on a 3000-entry pair\n");
    return 1;
  }
  std::printf("SQL runs and varnok (convert, fix) agree entry by entry on a 3000-entry pair\n");
  const double realistic = measure(cli, "realistic", entries, Shape::Realistic);
  measure(cli, "spread", entries, Shape::Spread);
  measure(cli, "same-day", entries, Shape::SameDay);
  if (argc > 2) {
    const int large = std::atoi(argv[2]);
    const double grown = measure(cli, "realistic", large, Shape::Realistic);
    std::printf("growth: %d-entry pair / %d-entry pair  %.1fx  (entries %.1fx)\n", large, entries,
                grown / realistic, double(large) / entries);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak memory of this process %.1f MiB\n", usage.ru_maxrss / 1024.0);
}
