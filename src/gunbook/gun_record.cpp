#include "gunbook/gun_record.h"

#include <cstring>
#include <string_view>

#include "recordmanager/little_endian.h"

namespace varnok::gunbook {

constexpr std::array<GunField, 28> kGunFields = {{
    {"Field00", 0, 15},
    {"Field01", 15, 12},
    {"Field02", 27, 8},
    {"Field03", 35, 15},
    {"DateIn", 50, 8},
    {"RecvLastName", 58, 15},
    {"Field06", 73, 15},
    {"DateOut", 88, 8},
    {"DispLastName", 96, 15},
    {"Field09", 111, 15},
    {"RecvFirstName", 126, 20},
    {"RecvAddress", 146, 30},
    {"RecvCity", 176, 20},
    {"RecvState", 196, 2},
    {"DispFirstName", 198, 20},
    {"DispAddress", 218, 30},
    {"DispCity", 248, 20},
    {"DispState", 268, 2},
    {"DispZip", 270, 5},
    {"RecvZip", 275, 5},
    {"Status", 280, 15},
    {"Field21", 295, 15},
    {"Field22", 310, 15},
    {"Field23", 325, 15},
    {"Field24", 340, 7},
    {"DispFlag", 348, 2},
    {"Field26", 350, 6},
    {"Field27", 356, 20},
}};

namespace {

// The table must tile the stored form: every field right after the one
// before it, the filler alone in its gap, nothing past the end.
constexpr bool tableTilesRecord() {
  std::size_t next = 0;
  for (const GunField& field : kGunFields) {
    if (next == kFillerOffset) ++next;
    if (field.offset != next) return false;
    next += field.width;
  }
  return next == kStoredRecordLength;
}
static_assert(tableTilesRecord());
static_assert(kGunFields[kDispFlagIndex].width == sizeof(int16_t));

// The engine orders the book on these four fields: its key layout must be
// where the table puts them.
constexpr bool keyIsField(int key, std::size_t index) {
  return rm::kKeyPlaces[key].offset == kGunFields[index].offset &&
         rm::kKeyPlaces[key].length == kGunFields[index].width;
}
static_assert(keyIsField(0, 0) && kGunFields[0].name == std::string_view("Field00"));
static_assert(keyIsField(1, 4) && kGunFields[4].name == std::string_view("DateIn"));
static_assert(keyIsField(2, 1) && kGunFields[1].name == std::string_view("Field01"));
static_assert(keyIsField(3, 3) && kGunFields[3].name == std::string_view("Field03"));

// Calls f(index, text) for every text field in record order. Field27 is 21
// characters wide in memory and 20 stored; the copies below use the stored
// width from the table.
template <class Record, class F>
void forEachText(Record& r, F&& f) {
  f(0, r.Field00);
  f(1, r.Field01);
  f(2, r.Field02);
  f(3, r.Field03);
  f(4, r.DateIn);
  f(5, r.RecvLastName);
  f(6, r.Field06);
  f(7, r.DateOut);
  f(8, r.DispLastName);
  f(9, r.Field09);
  f(10, r.RecvFirstName);
  f(11, r.RecvAddress);
  f(12, r.RecvCity);
  f(13, r.RecvState);
  f(14, r.DispFirstName);
  f(15, r.DispAddress);
  f(16, r.DispCity);
  f(17, r.DispState);
  f(18, r.DispZip);
  f(19, r.RecvZip);
  f(20, r.Status);
  f(21, r.Field21);
  f(22, r.Field22);
  f(23, r.Field23);
  f(24, r.Field24);
  f(26, r.Field26);
  f(27, r.Field27);
}

}  // namespace

void toStored(const GunRecord& record, uint8_t* out) {
  forEachText(record, [out](std::size_t index, const auto& text) {
    std::memcpy(out + kGunFields[index].offset, text.data(), kGunFields[index].width);
  });
  out[kFillerOffset] = 0;
  const auto flag = static_cast<uint16_t>(record.DispFlag);
  rm::writeLittleEndian<2>(out + kGunFields[kDispFlagIndex].offset, flag);
}

StoredRecord toStored(const GunRecord& record) {
  StoredRecord stored;
  toStored(record, stored.data());
  return stored;
}

void fromStored(const uint8_t* stored, GunRecord& record) {
  forEachText(record, [stored](std::size_t index, auto& text) {
    std::memcpy(text.data(), stored + kGunFields[index].offset, kGunFields[index].width);
  });
  const std::size_t at = kGunFields[kDispFlagIndex].offset;
  record.DispFlag = static_cast<int16_t>(rm::readLittleEndian<2>(stored + at));
}

}  // namespace varnok::gunbook
