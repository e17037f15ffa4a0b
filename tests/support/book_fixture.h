// Helpers for tests that need real books: a scratch folder, a book made from
// a list of entries, a book read back whole, and its entries looked up.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
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

// A person as a book entry names one: last name, first name, address, city,
// state and zip.
using Person = std::array<std::string, 6>;

// The licensees the tests type: the one handing over and the new one.
inline const Person kPreviousLicensee{"PRIOR", "PAT", "1 OLD RD", "OLDTOWN", "TX", "75001"};
inline const Person kNewLicensee{"NEWCO", "NORA", "9 NEW ST", "NEWTOWN", "TX", "75002"};

// The entry with its six received-from fields naming `from`.
inline gunbook::GunRecord receivedFrom(gunbook::GunRecord entry, const Person& from) {
  entry.RecvLastName = from[0];
  entry.RecvFirstName = from[1];
  entry.RecvAddress = from[2];
  entry.RecvCity = from[3];
  entry.RecvState = from[4];
  entry.RecvZip = from[5];
  return entry;
}

// The entry with its six disposed-to fields naming `to`.
inline gunbook::GunRecord disposedTo(gunbook::GunRecord entry, const Person& to) {
  entry.DispLastName = to[0];
  entry.DispFirstName = to[1];
  entry.DispAddress = to[2];
  entry.DispCity = to[3];
  entry.DispState = to[4];
  entry.DispZip = to[5];
  return entry;
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

// A text without its trailing blanks.
inline std::string trimmed(std::string_view text) {
  return std::string(text.substr(0, text.find_last_not_of(' ') + 1));
}
template <std::size_t N>
std::string trimmed(const gunbook::FixedText<N>& field) {
  return trimmed(field.view());
}

// The entry whose Field00 is `id`, if the book holds it.
inline std::optional<gunbook::GunRecord> findEntry(const std::vector<gunbook::GunRecord>& book,
                                                   std::string_view id) {
  for (const auto& entry : book) {
    if (entry.Field00 == gunbook::FixedText<15>(id)) return entry;
  }
  return std::nullopt;
}

// The Field00s of a book, blanks trimmed, in key 0 order.
inline std::vector<std::string> idsOf(const std::vector<gunbook::GunRecord>& book) {
  std::vector<std::string> ids;
  for (const auto& entry : book) ids.push_back(trimmed(entry.Field00));
  return ids;
}

}  // namespace varnok::testing
