// Helpers for the record manager tests: raw 376-byte entries, a caller's
// side of one open book, and books made and read through it.
#pragma once

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "child_process.h"
#include "recordmanager/record_manager.h"
#include "scratch_dir.h"

namespace varnok::rmtest {

using testing::ChildEnd;
using testing::ChildProcess;
using testing::fileBytes;
using testing::runInChild;
using testing::ScratchDir;
using testing::writeBytes;
// The name the fuzz seed maker knows fileBytes by.
inline std::string readBytes(const std::string& path) { return fileBytes(path); }

using Record = std::array<uint8_t, rm::kRecordLength>;

// Where the keys lie: 0 Field00, 1 DateIn, 2 Field01, 3 Field03.
struct KeyField {
  std::size_t offset;
  std::size_t width;
};
inline constexpr KeyField kKeyFields[rm::kKeyCount] = {{0, 15}, {50, 8}, {15, 12}, {35, 15}};

// Writes value at the key's place, padded with blanks (value may hold NULs).
inline void setKey(Record& record, int key, std::string_view value) {
  const auto [offset, width] = kKeyFields[key];
  for (std::size_t i = 0; i < width; ++i) record[offset + i] = i < value.size() ? value[i] : ' ';
}

inline std::string keyOf(const Record& record, int key) {
  const auto [offset, width] = kKeyFields[key];
  return std::string(reinterpret_cast<const char*>(record.data()) + offset, width);
}

// An entry with the given keys; every other byte comes from `tag`, with
// bytes of every value among them, so a round trip that loses or changes
// one shows.
inline Record entry(std::string_view field00, std::string_view dateIn = "20240101",
                    std::string_view field01 = "F01", std::string_view field03 = "F03",
                    uint32_t tag = 1) {
  Record record;
  for (std::size_t i = 0; i < record.size(); ++i) record[i] = uint8_t(tag * 131 + i * 7);
  setKey(record, 0, field00);
  setKey(record, 1, dateIn);
  setKey(record, 2, field01);
  setKey(record, 3, field03);
  return record;
}

// Memory-backed when the machine has /dev/shm: for tests that close
// thousands of sessions, each with its synchronous commit.
inline std::filesystem::path memoryBackedTemp() {
  return std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                   : std::filesystem::temp_directory_path();
}

// Runs SQL on a database file directly, past the engine: to make foreign
// and damaged books.
inline void runSql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  const std::string message = sqlite3_errmsg(db);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error("runSql: " + message);
}

// The first line of SQLite's own integrity check ("ok" when clean).
inline std::string integrityCheck(const std::string& path) {
  sqlite3* db = nullptr;
  std::string answer = "cannot open";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_stmt* check = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr) == SQLITE_OK &&
        sqlite3_step(check) == SQLITE_ROW)
      answer = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
    else
      answer = sqlite3_errmsg(db);
    sqlite3_finalize(check);
  }
  sqlite3_close(db);
  return answer;
}

// The CRC-32 of zip and PNG, bit by bit from the polynomial: the checksum a
// book keeps beside each entry.
inline uint32_t zipCrc32(const uint8_t* data, std::size_t length) {
  uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < length; ++i) {
    c ^= data[i];
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  return c ^ 0xFFFFFFFFu;
}

// A SQL blob literal of the record's bytes.
inline std::string blobLiteral(const uint8_t* data, std::size_t length) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text = "X'";
  for (std::size_t i = 0; i < length; ++i) {
    text += digits[data[i] >> 4];
    text += digits[data[i] & 15];
  }
  return text + "'";
}

// The caller's side of one book, as a book cursor holds it: a position
// block (128 blanks before Open), a record buffer and a 255-byte key buffer.
class Book {
 public:
  explicit Book(rm::RecordManager& engine = rm::bookEngine()) : engine_(engine) {
    block.fill(' ');
    key.fill(0);
    data.fill(0);
  }

  std::array<uint8_t, rm::kPositionBlockLength> block;
  Record data;
  std::array<uint8_t, rm::kKeyBufferLength> key;
  uint16_t dataLength = rm::kRecordLength;

  int16_t call(uint16_t operation, int16_t keyNumber = 0) {
    return engine_.call(operation, block.data(), data.data(), &dataLength, key.data(),
                        rm::kKeyBufferLength, keyNumber);
  }

  // The path as Open takes it: followed by one blank, then NULs.
  void setKeyText(std::string_view text) {
    key.fill(0);
    std::memcpy(key.data(), text.data(), std::min(text.size(), key.size()));
  }
  int16_t create(const std::string& path) {
    setKeyText(path + " ");
    return call(rm::op::Create);
  }
  int16_t open(const std::string& path) {
    setKeyText(path + " ");
    return call(rm::op::Open);
  }
  int16_t close() { return call(rm::op::Close); }
  int16_t discard() { return call(rm::op::Discard); }

  int16_t insert(const Record& record, int16_t keyNumber = 0) {
    data = record;
    dataLength = rm::kRecordLength;
    return call(rm::op::Insert, keyNumber);
  }
  int16_t update(const Record& record) {
    data = record;
    dataLength = rm::kRecordLength;
    return call(rm::op::Update);
  }
  int16_t remove() { return call(rm::op::Delete); }

  // start: the start value, padded with blanks to the key's width.
  int16_t getGreaterOrEqual(int keyNumber, std::string_view start = "") {
    key.fill(' ');
    std::memcpy(key.data(), start.data(), std::min(start.size(), key.size()));
    dataLength = rm::kRecordLength;
    return call(rm::op::GetGreaterOrEqual, int16_t(keyNumber));
  }
  int16_t getNext(int keyNumber) {
    dataLength = rm::kRecordLength;
    return call(rm::op::GetNext, int16_t(keyNumber));
  }

  // Every entry in the key's order, from a start value of all blanks.
  std::vector<Record> walk(int keyNumber) {
    std::vector<Record> records;
    for (int16_t s = getGreaterOrEqual(keyNumber); s == 0; s = getNext(keyNumber))
      records.push_back(data);
    return records;
  }

  // The record count of Stat; -1 on a failed call.
  int64_t count() {
    std::array<uint8_t, rm::kStatBufferLength> stat{};
    uint16_t length = rm::kStatBufferLength;
    key.fill(' ');
    if (engine_.call(rm::op::Stat, block.data(), stat.data(), &length, key.data(),
                     rm::kKeyBufferLength, -1) != 0)
      return -1;
    return int64_t(stat[6]) | int64_t(stat[7]) << 8 | int64_t(stat[8]) << 16 |
           int64_t(stat[9]) << 24;
  }

 private:
  rm::RecordManager& engine_;
};

// The Field00 values of records, in order: short to compare, clear to read.
inline std::vector<std::string> field00s(const std::vector<Record>& records) {
  std::vector<std::string> names;
  for (const auto& record : records) {
    std::string name = keyOf(record, 0);
    name.erase(name.find_last_not_of(' ') + 1);
    names.push_back(name);
  }
  return names;
}

// Makes a book at path holding records, inserted in order.
inline void makeBook(const std::string& path, const std::vector<Record>& records) {
  Book book;
  if (book.create(path) != 0 || book.open(path) != 0) throw std::runtime_error("makeBook");
  for (const auto& record : records)
    if (book.insert(record) != 0) throw std::runtime_error("makeBook insert");
  if (book.close() != 0) throw std::runtime_error("makeBook close");
}

// Entries N100000, N100001, ... spread over 300 dates and 7 Field03 values.
inline std::vector<Record> numberedEntries(int count) {
  std::vector<Record> records;
  for (int i = 0; i < count; ++i)
    records.push_back(entry("N" + std::to_string(100000 + i), "2024" + std::to_string(1000 + i % 300),
                            "F", "S" + std::to_string(i % 7), i));
  return records;
}

// Every entry in key 0 order after a session that changed nothing; empty
// when the book does not open.
inline std::vector<Record> contents(const std::string& path) {
  Book book;
  if (book.open(path) != 0) return {};
  auto records = book.walk(0);
  book.close();
  return records;
}

// A session's worth of changes of every kind: every entry updated (key 1
// and a byte elsewhere), every third deleted, `inserts` new ones; false on a
// failed call.
inline bool changeEverything(Book& book, int inserts = 200) {
  int i = 0;
  for (int16_t s = book.getGreaterOrEqual(0); s == 0; s = book.getNext(0), ++i) {
    Record changed = book.data;
    setKey(changed, 1, "20250630");
    changed[300] ^= 0x5A;
    if (book.update(changed) != 0) return false;
    if (i % 3 == 0 && book.remove() != 0) return false;
  }
  for (int n = 0; n < inserts; ++n)
    if (book.insert(entry("NEW" + std::to_string(n), "20250701", "F", "S", 9000 + n)) != 0)
      return false;
  return true;
}

using varnok::testing::Pipe;

}  // namespace varnok::rmtest
