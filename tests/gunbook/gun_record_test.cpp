#include "gunbook/gun_record.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace varnok::gunbook {
namespace {

std::string storedText(const StoredRecord& stored, std::size_t offset, std::size_t width) {
  return std::string(reinterpret_cast<const char*>(stored.data()) + offset, width);
}

const GunField& fieldNamed(const std::string& name) {
  for (const GunField& field : kGunFields) {
    if (name == field.name) return field;
  }
  throw std::out_of_range("no field " + name);
}

TEST(GunRecordLayout, FieldsTileTheRecordAroundTheFiller) {
  std::size_t next = 0;
  for (const GunField& field : kGunFields) {
    if (next == kFillerOffset) ++next;
    EXPECT_EQ(field.offset, next) << field.name;
    next += field.width;
  }
  EXPECT_EQ(next, kStoredRecordLength);
  EXPECT_STREQ(kGunFields[kDispFlagIndex].name, "DispFlag");
  EXPECT_EQ(kGunFields[kDispFlagIndex].offset, 348u);
  EXPECT_EQ(kGunFields[kDispFlagIndex].width, 2u);
  EXPECT_EQ(fieldNamed("Field27").offset, 356u);
  EXPECT_EQ(fieldNamed("Field27").width, 20u);
}

// Each member, filled with its own letter, must land under its own name in
// the table: this ties the struct, the table and the codec together.
TEST(GunRecordLayout, EveryMemberLandsWhereTheTableSays) {
  using Fill = std::function<void(GunRecord&, char)>;
#define FILL(member) \
  {#member, [](GunRecord& r, char c) { r.member = std::string(r.member.width, c); }}
  const std::vector<std::pair<std::string, Fill>> members = {
      FILL(Field00),       FILL(Field01),      FILL(Field02),        FILL(Field03),
      FILL(DateIn),        FILL(RecvLastName), FILL(Field06),        FILL(DateOut),
      FILL(DispLastName),  FILL(Field09),      FILL(RecvFirstName),  FILL(RecvAddress),
      FILL(RecvCity),      FILL(RecvState),    FILL(DispFirstName),  FILL(DispAddress),
      FILL(DispCity),      FILL(DispState),    FILL(DispZip),        FILL(RecvZip),
      FILL(Status),        FILL(Field21),      FILL(Field22),        FILL(Field23),
      FILL(Field24),       FILL(Field26),      FILL(Field27)};
#undef FILL
  ASSERT_EQ(members.size(), kGunFields.size() - 1);
  GunRecord record;
  char letter = 'A';
  for (const auto& [name, fill] : members) fill(record, letter++);
  record.DispFlag = 0x2B2A;  // "*+" once stored little-endian
  const StoredRecord stored = toStored(record);

  letter = 'A';
  for (const auto& [name, fill] : members) {
    const GunField& field = fieldNamed(name);
    EXPECT_EQ(storedText(stored, field.offset, field.width), std::string(field.width, letter))
        << name;
    ++letter;
  }
  EXPECT_EQ(storedText(stored, 348, 2), "*+");
  EXPECT_EQ(stored[kFillerOffset], 0);
}

TEST(GunRecordCodec, AllStoredBytesRoundTripAndTheFillerIsWrittenAsZero) {
  std::mt19937 random(20250630);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 200; ++round) {
    StoredRecord in;
    for (auto& b : in) b = static_cast<uint8_t>(byte(random));
    in[kFillerOffset] = static_cast<uint8_t>(1 + round % 255);  // never 0 on the way in
    GunRecord record;
    fromStored(in.data(), record);
    StoredRecord out = toStored(record);
    EXPECT_EQ(out[kFillerOffset], 0);
    out[kFillerOffset] = in[kFillerOffset];
    ASSERT_EQ(out, in) << "round " << round;
  }
}

TEST(GunRecordCodec, DispFlagIsSixteenBitLittleEndian) {
  GunRecord record;
  record.DispFlag = -1;
  StoredRecord stored = toStored(record);
  EXPECT_EQ(stored[348], 0xFF);
  EXPECT_EQ(stored[349], 0xFF);
  record.DispFlag = 0x1234;
  stored = toStored(record);
  EXPECT_EQ(stored[348], 0x34);
  EXPECT_EQ(stored[349], 0x12);
  stored[348] = 0x00;
  stored[349] = 0x80;
  fromStored(stored.data(), record);
  EXPECT_EQ(record.DispFlag, -32768);
}

TEST(GunRecordCodec, Field27KeepsItsTwentyFirstCharacterOutOfTheBook) {
  GunRecord record;
  record.Field27 = "ABCDEFGHIJKLMNOPQRSTU";
  StoredRecord stored = toStored(record);
  EXPECT_EQ(storedText(stored, 356, 20), "ABCDEFGHIJKLMNOPQRST");

  std::fill(stored.begin() + 356, stored.end(), 'z');
  fromStored(stored.data(), record);
  EXPECT_EQ(record.Field27.str(), std::string(20, 'z') + "U");
}

TEST(GunRecordCodec, AssignmentIsFixedWidth) {
  GunRecord record;
  record.RecvAddress = "12345 North Very Long Street Apt 9";  // 34 characters
  record.DispZip = "750011234";
  record.DispState = "Texas";
  record.RecvState = "TX";
  record.Status = "SOLD";
  const StoredRecord stored = toStored(record);
  EXPECT_EQ(storedText(stored, 146, 30), "12345 North Very Long Street A");
  EXPECT_EQ(storedText(stored, 270, 5), "75001");
  EXPECT_EQ(storedText(stored, 268, 2), "Te");
  EXPECT_EQ(storedText(stored, 196, 2), "TX");
  EXPECT_EQ(storedText(stored, 280, 15), "SOLD           ");
  EXPECT_EQ(storedText(stored, 0, 15), std::string(15, ' '));  // a new record is blank
}

}  // namespace
}  // namespace varnok::gunbook
