// A conversion as users run it, side by side in one run with the same job
// done by set-based SQL and with the floor of reading and rewriting both
// book files once; the ratios are what to read.
//
//   bench_sql_comparison [entries] [large] [turns]
//
// entries: default 100000 old + 5 % more new, realistic pair. With large
// (e.g. 1000000), the realistic pair of that size is measured too, and
// each side's growth from the first pair to it printed. turns: at least 5
// (the default); each turn runs every side on fresh copies, in an
// order that turns round, and the medians are compared.
//
// The sides, each timed alone on copies made and synced beforehand:
// - varnok-cli convert with its backups and record (its report goes to a
//   folder of the launcher's, removed after each run);
// - the same conversion without a record, in this process (this build's
//   engine), which tells the conversion's own share from the record's;
// - the sqlite3 client, `sqlite3 -bail FILE < convert.sql`, on a file
//   database holding both books' entries as loaded from their CSV export
//   (kTablesSql: 28 TEXT columns, DispFlag INTEGER, no index), with its
//   default journal and sync settings: the close-out's DELETE and UPDATE
//   and the rebase's DELETE and UPDATE in one transaction (convertSql);
// - reading both book files whole and writing each to a new file, synced.
// Before timing, a small pair is converted both ways and the results
// compared entry by entry. After the turns varnok-cli fixes and imports
// copies of the pair, and the peak resident memory of convert, fix and
// import is printed beside its limit, twice the books' bytes plus 50 MB.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "book_pairs.h"
#include "cli_runs.h"
#include "conversion/converter.h"

namespace {

using namespace varnok;
namespace fs = std::filesystem;

constexpr const char* kSqliteClient = "sqlite3";

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string tableSql(const char* table) {
  std::string sql = std::string("CREATE TABLE ") + table + "(";
  bool first = true;
  for (const auto& field : gunbook::kGunFields) {
    sql += std::string(first ? "" : ", ") + field.name +
           (std::string(field.name) == "DispFlag" ? " INTEGER" : " TEXT");
    first = false;
  }
  return sql + ");\n";
}

// Both books' CSV exports loaded by the sqlite3 client into `database`.
std::string loadSql(const std::string& oldCsv, const std::string& newCsv,
                    const std::string& prefix = "") {
  return tableSql((prefix + "old").c_str()) + tableSql((prefix + "new").c_str()) +
         ".import --csv --skip 1 '" + oldCsv + "' " + prefix + "old\n" +
         ".import --csv --skip 1 '" + newCsv + "' " + prefix + "new\n";
}

// The conversion on the date with the licensees and prefix of SilentView,
// the text as the CSV holds it (no trailing blanks).
std::string convertSql() {
  const std::string d = std::string("'") + bench::kBookDate + "'";
  const std::string onHand = "substr(Status, 1, 4) IN ('PAWN', 'SALE')";
  return "BEGIN;\n"
         // Close-out: later entries go; guns on hand or disposed of later
         // are sold to the new licensee on the date.
         "DELETE FROM old WHERE DateIn > " + d + ";\n"
         "UPDATE old SET DispLastName = 'NEWCO', DispFirstName = 'Y', DispAddress = 'Y',"
         " DispCity = 'Y', DispState = 'Y', DispZip = 'Y', DateOut = " + d + ","
         " Status = 'SOLD', DispFlag = -1 WHERE " + onHand + " OR DateOut > " + d + ";\n"
         // Rebase: guns gone before the date go; the rest received by then
         // come from the previous licensee on the date, the prefix in front
         // of Field06.
         "DELETE FROM new WHERE DateIn <= " + d + " AND NOT " + onHand + " AND DateOut < " + d +
         ";\n"
         "UPDATE new SET RecvLastName = 'PRIOR', RecvFirstName = 'X', RecvAddress = 'X',"
         " RecvCity = 'X', RecvState = 'X', RecvZip = 'X', DateIn = " + d + ","
         " Field06 = substr('NW' || Field06, 1, 15) WHERE DateIn <= " + d + ";\n"
         "COMMIT;\n";
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
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

// A pair of books, their CSV exports, and the SQL database loaded from
// them, kept untouched; every timed side works on copies.
struct Pair {
  std::string scratch;
  std::string oldBook() const { return scratch + "/old/"; }
  std::string newBook() const { return scratch + "/new/"; }
  std::string database() const { return scratch + "/books.sqlite"; }
  std::string script() const { return scratch + "/convert.sql"; }
  long long bookBytes() const {
    return bench::fileBytes(oldBook() + "FILE3.DAT") + bench::fileBytes(newBook() + "FILE3.DAT");
  }
};

Pair makePair(bench::Launcher& cli, int entries) {
  char pattern[] = "/tmp/varnok-bench-XXXXXX";
  Pair pair{mkdtemp(pattern)};
  bench::makeBook(pair.oldBook(), bench::makeEntries(entries, bench::Shape::Realistic, 1));
  bench::makeBook(pair.newBook(),
                  bench::makeEntries(entries + entries / 20, bench::Shape::Realistic, 2, 'H'));
  cli.run({"book", "export", pair.oldBook(), pair.scratch + "/old.csv"});
  cli.run({"book", "export", pair.newBook(), pair.scratch + "/new.csv"});
  writeText(pair.scratch + "/load.sql",
            loadSql(pair.scratch + "/old.csv", pair.scratch + "/new.csv"));
  cli.runProgram(kSqliteClient, {"-bail", pair.database()}, pair.scratch + "/load.sql");
  writeText(pair.script(), convertSql());
  return pair;
}

// Fresh copies of the pair's books and database under `to`.
Pair copyOf(const Pair& pair, const std::string& to) {
  Pair copy{to};
  fs::remove_all(to);
  fs::create_directories(to);
  fs::copy(pair.oldBook(), copy.oldBook());
  fs::copy(pair.newBook(), copy.newBook());
  fs::copy_file(pair.database(), copy.database());
  fs::copy_file(pair.script(), copy.script());
  return copy;
}

bench::ChildRun convertByCli(bench::Launcher& cli, const Pair& pair) {
  return cli.run(bench::formArgs("convert", pair.oldBook(), pair.newBook()));
}

double convertPlain(const Pair& pair) {
  bench::SilentView view;
  view.form.oldBookFolder = pair.oldBook();
  view.form.newBookFolder = pair.newBook();
  conversion::Converter converter(view, rm::bookEngine());
  const auto start = std::chrono::steady_clock::now();
  converter.runConversion();
  const double taken = seconds(start);
  if (view.lastMessage != "Finished") {
    std::fprintf(stderr, "the conversion did not finish: %s\n", view.lastMessage.c_str());
    std::exit(1);
  }
  return taken;
}

double convertBySql(bench::Launcher& cli, const Pair& pair) {
  return cli.runProgram(kSqliteClient, {"-bail", pair.database()}, pair.script()).seconds;
}

// Rows of one table the other lacks, both ways, over both books.
long long differingRows(const std::string& database) {
  sqlite3* db = nullptr;
  long long rows = -1;
  sqlite3_stmt* count = nullptr;
  const char* sql =
      "SELECT (SELECT count(*) FROM (SELECT * FROM old EXCEPT SELECT * FROM got_old))"
      " + (SELECT count(*) FROM (SELECT * FROM got_old EXCEPT SELECT * FROM old))"
      " + (SELECT count(*) FROM (SELECT * FROM new EXCEPT SELECT * FROM got_new))"
      " + (SELECT count(*) FROM (SELECT * FROM got_new EXCEPT SELECT * FROM new))";
  if (sqlite3_open(database.c_str(), &db) == SQLITE_OK &&
      sqlite3_prepare_v2(db, sql, -1, &count, nullptr) == SQLITE_OK &&
      sqlite3_step(count) == SQLITE_ROW)
    rows = sqlite3_column_int64(count, 0);
  sqlite3_finalize(count);
  sqlite3_close(db);
  return rows;
}

// Converts a small pair both ways and compares the books' exports with
// the SQL tables, entry by entry.
bool resultsAgree(bench::Launcher& cli) {
  const Pair pair = makePair(cli, 3000);
  const Pair copy = copyOf(pair, pair.scratch + "/check");
  convertByCli(cli, copy);
  convertBySql(cli, copy);
  cli.run({"book", "export", copy.oldBook(), copy.scratch + "/old.csv"});
  cli.run({"book", "export", copy.newBook(), copy.scratch + "/new.csv"});
  writeText(copy.scratch + "/load.sql",
            loadSql(copy.scratch + "/old.csv", copy.scratch + "/new.csv", "got_"));
  cli.runProgram(kSqliteClient, {"-bail", copy.database()}, copy.scratch + "/load.sql");
  const long long differing = differingRows(copy.database());
  fs::remove_all(pair.scratch);
  return differing == 0;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Medians {
  double cli = 0, plain = 0, sql = 0, floor = 0;
};

// Every side on fresh copies, `turns` times, the order turning round.
Medians measure(bench::Launcher& cli, int entries, int turns) {
  const Pair pair = makePair(cli, entries);
  const long long bytes = pair.bookBytes();
  std::vector<double> byCli, byPlain, bySql, byFloor;
  double peakMiB = 0;
  for (int turn = 0; turn < turns; ++turn) {
    for (int step = 0; step < 4; ++step) {
      const Pair copy = copyOf(pair, pair.scratch + "/turn");
      ::sync();  // the copies on disk before the clock starts
      switch ((turn + step) % 4) {
        case 0: {
          const bench::ChildRun run = convertByCli(cli, copy);
          byCli.push_back(run.seconds);
          peakMiB = std::max(peakMiB, run.peakMiB);
          break;
        }
        case 1: bySql.push_back(convertBySql(cli, copy)); break;
        case 2: byPlain.push_back(convertPlain(copy)); break;
        default:
          byFloor.push_back(readAndRewrite({copy.oldBook() + "FILE3.DAT",
                                            copy.newBook() + "FILE3.DAT"}));
      }
    }
  }
  const Medians m{median(byCli), median(byPlain), median(bySql), median(byFloor)};
  std::printf("realistic %8d + %-8d (%.1f MiB of books), median of %d turns:\n", entries,
              entries + entries / 20, bench::mebibytes(double(bytes)), turns);
  std::printf("  varnok-cli convert %6.2f s   without record %6.2f s   sqlite3 %6.2f s"
              "   floor %6.2f s\n", m.cli, m.plain, m.sql, m.floor);
  std::printf("  convert/sqlite3 %5.2f   without record/sqlite3 %5.2f   convert/floor %5.2f"
              "   sqlite3/floor %5.2f\n",
              m.cli / m.sql, m.plain / m.sql, m.cli / m.floor, m.sql / m.floor);
  bench::printPeak("convert", bench::ChildRun{m.cli, peakMiB}, bytes);

  // The late disposal transfer on a fresh copy, and an import of the new
  // book's CSV into an empty book.
  const Pair copy = copyOf(pair, pair.scratch + "/turn");
  bench::printPeak("fix", cli.run(bench::formArgs("fix", copy.oldBook(), copy.newBook())),
                   bytes);
  const std::string imported = pair.scratch + "/imported/";
  cli.run({"book", "create", imported});
  const bench::ChildRun run = cli.run({"book", "import", imported, pair.scratch + "/new.csv"});
  bench::printPeak("book import", run, bench::fileBytes(imported + "FILE3.DAT"));
  std::fflush(stdout);
  fs::remove_all(pair.scratch);
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  bench::Launcher cli;  // first, while this process is small
  const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int large = argc > 2 ? std::atoi(argv[2]) : 0;
  const int turns = std::max(5, argc > 3 ? std::atoi(argv[3]) : 5);
  if (!resultsAgree(cli)) {
    std::fprintf(stderr, "sqlite3 and varnok-cli convert disagree on a 3000-entry pair\n");
    return 1;
  }
  std::printf("sqlite3 and varnok-cli convert agree entry by entry on a 3000-entry pair\n");
  const Medians small = measure(cli, entries, turns);
  if (large > 0) {
    const Medians grown = measure(cli, large, turns);
    const double convertGrowth = grown.cli / small.cli, floorGrowth = grown.floor / small.floor;
    const double plainGrowth = grown.plain / small.plain;
    std::printf("growth %d -> %d: convert %.1fx   without record %.1fx   sqlite3 %.1fx"
                "   floor %.1fx\n  growth / floor's: convert %.2f   without record %.2f\n",
                entries, large, convertGrowth, plainGrowth, grown.sql / small.sql, floorGrowth,
                convertGrowth / floorGrowth, plainGrowth / floorGrowth);
  }
}
