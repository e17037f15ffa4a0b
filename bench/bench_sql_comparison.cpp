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
// the books use. Before timing, a small pair is converted both ways and
// the results compared entry by entry.
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
  const auto newBook = bench::makeEntries(entries + entries / 20, shape, 2);
  bench::makeBook(pair.view.form.oldBookFolder, oldBook);
  bench::makeBook(pair.view.form.newBookFolder, newBook);
  pair.sqlPath = pair.scratch + "/books.sqlite";
  loadSql(pair.sqlPath, oldBook, newBook);
}

double convertOurs(Pair& pair) {
  conversion::Converter converter(pair.view, rm::bookEngine());
  const auto start = std::chrono::steady_clock::now();
  converter.runConversion();
  const double taken = seconds(start);
  if (pair.view.lastMessage != "Finished") {
    std::fprintf(stderr, "the conversion did not finish: %s\n", pair.view.lastMessage.c_str());
    std::exit(1);
  }
  return taken;
}

// Converts a small pair both ways and compares the books entry by entry.
bool resultsAgree() {
  Pair pair;
  preparePair(pair, 3000, Shape::Realistic);
  convertOurs(pair);
  convertSql(pair.sqlPath);
  const bool agree = bookEntries(pair.view.form.oldBookFolder) == sqlEntries(pair.sqlPath, "old") &&
                     bookEntries(pair.view.form.newBookFolder) == sqlEntries(pair.sqlPath, "new");
  fs::remove_all(pair.scratch);
  return agree;
}

double measure(const char* name, int entries, Shape shape) {
  Pair pair;
  preparePair(pair, entries, shape);
  const double floor =
      readAndRewrite({pair.view.form.oldBookFolder + "FILE3.DAT", pair.view.form.newBookFolder + "FILE3.DAT"});
  const double ours = convertOurs(pair);
  const double sql = convertSql(pair.sqlPath);
  std::printf("%-10s %8d + %-8d  varnok %7.2f s   SQL %7.2f s   floor %6.2f s"
              "   varnok/SQL %5.2f   varnok/floor %6.1f\n",
              name, entries, entries + entries / 20, ours, sql, floor, ours / sql, ours / floor);
  std::fflush(stdout);
  fs::remove_all(pair.scratch);
  return ours;
}

}  // namespace

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
  if (!resultsAgree()) {
    std::fprintf(stderr, "the SQL run and the conversion disagree on a 3000-entry pair\n");
    return 1;
  }
  std::printf("SQL run and conversion agree entry by entry on a 3000-entry pair\n");
  const double realistic = measure("realistic", entries, Shape::Realistic);
  measure("spread", entries, Shape::Spread);
  measure("same-day", entries, Shape::SameDay);
  if (argc > 2) {
    const int large = std::atoi(argv[2]);
    const double grown = measure("realistic", large, Shape::Realistic);
    std::printf("growth: %d-entry pair / %d-entry pair  %.1fx  (entries %.1fx)\n", large, entries,
                grown / realistic, double(large) / entries);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak memory of this process %.1f MiB\n", usage.ru_maxrss / 1024.0);
}
