// Helpers for tests that need real books: a scratch folder, a book made from
// a list of entries, and a book read back whole.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "gunbook/book_cursor.h"
#include "gunbook/book_folder.h"
#include "gunbook/gun_record.h"
#include "recordmanager/record_manager.h"
#include "scratch_dir.h"

namespace varnok::testing {

// An entry with the fields the conversion looks at; the rest blank.
inline gunbook::GunRecord gun(const std::string& field00, const std::string& dateIn,
                              const std::string& dateOut, const std::string& status) {
  gunbook::GunRecord record;
  record.Field00 = field00;
  record.Field03 = "S" + field00;
  record.DateIn = dateIn;
  record.DateOut = dateOut;
  record.Status = status;
  return record;
}

inline void checkStatus(int16_t status, const char* what) {
  if (status != 0) throw std::runtime_error(std::string(what) + " status " + std::to_string(status));
}

// Makes the book FILE3.DAT in `folder` holding `records`, inserted in order.
inline void makeBook(const std::string& folder, const std::vector<gunbook::GunRecord>& records,
                     rm::RecordManager& manager = rm::bookEngine()) {
  gunbook::BookCursor cursor;
  cursor.KeyBuffer = gunbook::bookFileKey(folder);
  checkStatus(cursor.call(manager, rm::op::Create), "create");
  checkStatus(cursor.call(manager, rm::op::Open), "open");
  for (const auto& record : records) {
    cursor.Record = record;
    checkStatus(cursor.call(manager, rm::op::Insert), "insert");
  }
  checkStatus(cursor.call(manager, rm::op::Close), "close");
}

// Every entry of the book in `folder`, in key 0 order.
inline std::vector<gunbook::GunRecord> readBook(const std::string& folder,
                                                rm::RecordManager& manager = rm::bookEngine()) {
  gunbook::BookCursor cursor;
  cursor.KeyBuffer = gunbook::bookFileKey(folder);
  checkStatus(cursor.call(manager, rm::op::Open), "open");
  std::vector<gunbook::GunRecord> records;
  cursor.KeyBuffer = std::string(15, ' ');
  cursor.KeyNumber = 0;
  for (int16_t status = cursor.call(manager, rm::op::GetGreaterOrEqual); status == 0;
       status = cursor.call(manager, rm::op::GetNext)) {
    records.push_back(cursor.Record);
  }
  checkStatus(cursor.call(manager, rm::op::Close), "close");
  return records;
}

// The bytes of the book file in `folder`.
inline std::string bookBytes(const std::string& folder) {
  return fileBytes(std::filesystem::path(folder) / "FILE3.DAT");
}

}  // namespace varnok::testing
