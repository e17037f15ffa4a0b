// One gun book entry and its 376-byte stored form.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "gunbook/fixed_text.h"
#include "recordmanager/book_format.h"

namespace varnok::gunbook {

inline constexpr std::size_t kStoredRecordLength = rm::kRecordLength;
using StoredRecord = std::array<uint8_t, kStoredRecordLength>;

struct GunRecord {
  FixedText<15> Field00;
  FixedText<12> Field01;
  FixedText<8> Field02;
  FixedText<15> Field03;
  FixedText<8> DateIn;         // date received, book date form; key 1
  FixedText<15> RecvLastName;
  FixedText<15> Field06;       // the new book's prefix goes in front of it
  FixedText<8> DateOut;        // date disposed of, book date form
  FixedText<15> DispLastName;
  FixedText<15> Field09;
  FixedText<20> RecvFirstName;
  FixedText<30> RecvAddress;
  FixedText<20> RecvCity;
  FixedText<2> RecvState;
  FixedText<20> DispFirstName;
  FixedText<30> DispAddress;
  FixedText<20> DispCity;
  FixedText<2> DispState;
  FixedText<5> DispZip;
  FixedText<5> RecvZip;
  FixedText<15> Status;        // PAWN or SALE while in the store, SOLD once gone
  FixedText<15> Field21;
  FixedText<15> Field22;
  FixedText<15> Field23;
  FixedText<7> Field24;
  int16_t DispFlag = 0;        // Boolean: 0 False, -1 True
  FixedText<6> Field26;
  FixedText<21> Field27;       // only the first 20 characters are stored

  friend bool operator==(const GunRecord&, const GunRecord&) = default;
};

// Where a field lies in the stored form. The 28 fields in record order; the
// filler byte at 347 is no field. DispFlag is the one 2-byte integer.
struct GunField {
  const char* name;
  std::size_t offset;
  std::size_t width;  // stored width in bytes
};
inline constexpr std::size_t kFillerOffset = 347;
inline constexpr std::size_t kDispFlagIndex = 25;
extern const std::array<GunField, 28> kGunFields;

// The stored form: every text byte as it is, the filler written as 0,
// DispFlag little-endian, Field27's 21st character left out.
StoredRecord toStored(const GunRecord& record);
void toStored(const GunRecord& record, uint8_t* out);

// Reads the stored form into a record. The filler is ignored; Field27's 21st
// character keeps what the record held.
void fromStored(const uint8_t* stored, GunRecord& record);

}  // namespace varnok::gunbook
