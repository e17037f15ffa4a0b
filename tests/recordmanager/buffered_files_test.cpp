// The buffered file layer gives SQLite exactly what the system's layer does:
// the same answers and the same file bytes, whatever another connection
// wrote in between.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "recordmanager/buffered_files.h"
#include "scratch_dir.h"

namespace varnok::rmtest {
namespace {

using testing::fileBytes;
using testing::ScratchDir;

class Database {
 public:
  Database(const std::string& path, const char* layer) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, layer))
      ADD_FAILURE() << sqlite3_errmsg(db_);
    run("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; PRAGMA cache_size=-64");
  }
  ~Database() { sqlite3_close_v2(db_); }
  void run(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK)
      ADD_FAILURE() << sql.substr(0, 80) << ": " << (error ? error : "?");
    sqlite3_free(error);
  }
  // Every row the query gives, in order, as one text.
  std::string rows(const char* query = "SELECT id, hex(data) FROM t ORDER BY id") {
    std::string all;
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db_, query, -1, &select, nullptr);
    while (sqlite3_step(select) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(select); ++i)
        all += reinterpret_cast<const char*>(sqlite3_column_text(select, i)) + std::string(":");
      all += "\n";
    }
    sqlite3_finalize(select);
    return all;
  }

 private:
  sqlite3* db_ = nullptr;
};

TEST(BufferedFiles, GiveTheSameRowsAndBytesAsTheSystemsLayer) {
  ScratchDir dir;
  const std::string plain = dir.file("plain.db"), buffered = dir.file("buffered.db");
  Database a(plain, nullptr), b(buffered, rm::bufferedFileLayer());
  // A second connection to each file, through the system's layer: what it
  // writes, the buffered connection must read.
  Database otherA(plain, nullptr), otherB(buffered, nullptr);

  std::mt19937 random(7);
  auto pick = [&](int n) { return int(random() % unsigned(n)); };
  auto blob = [&] {
    std::string hex = "X'";
    for (int i = 1 + pick(900); i > 0; --i) hex += "0123456789ABCDEF"[pick(16)], hex += "A";
    return hex + "'";
  };
  auto both = [&](Database& x, Database& y, const std::string& sql) {
    x.run(sql);
    y.run(sql);
  };
  both(a, b, "CREATE TABLE t(id INTEGER PRIMARY KEY, data BLOB)");
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::string sql = "BEGIN;";
    for (int i = pick(300); i > 0; --i) {
      const std::string id = std::to_string(pick(3000)), span = std::to_string(pick(60));
      switch (pick(3)) {
        case 0: sql += "INSERT OR REPLACE INTO t VALUES(" + id + ", " + blob() + ");"; break;
        case 1: sql += "UPDATE t SET data = " + blob() + " WHERE id BETWEEN " + id + " AND " + id + " + " + span + ";"; break;
        default: sql += "DELETE FROM t WHERE id BETWEEN " + id + " AND " + id + " + " + span + ";";
      }
    }
    both(a, b, sql + (pick(5) == 0 ? "ROLLBACK;" : "COMMIT;"));
    if (round % 3 == 0)
      both(otherA, otherB, "INSERT OR REPLACE INTO t VALUES(" + std::to_string(pick(3000)) + ", " + blob() + ")");
    ASSERT_EQ(b.rows(), a.rows());
    // The structural check reads the pages from the last to the first.
    ASSERT_EQ(b.rows("PRAGMA quick_check"), "ok:\n");
  }
  EXPECT_EQ(fileBytes(buffered), fileBytes(plain));
}

}  // namespace
}  // namespace varnok::rmtest
