#include "gunbook/book_cursor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace varnok::gunbook {
namespace {

// Records what each call carried, and lets a test play the record manager's
// part by writing into the buffers.
class ScriptedManager : public rm::RecordManager {
 public:
  struct Seen {
    uint16_t operation;
    void* positionBlock;
    std::vector<uint8_t> data;
    uint16_t dataLength;
    std::string key;
    uint16_t keyLength;
    int16_t keyNumber;
  };
  std::vector<Seen> seen;
  std::function<void(void* data, void* key, void* positionBlock)> act;
  int16_t answer = 0;

  int16_t call(uint16_t operation, void* positionBlock, void* dataBuffer, uint16_t* dataLength,
               void* keyBuffer, uint16_t keyLength, int16_t keyNumber) override {
    const auto* bytes = static_cast<const uint8_t*>(dataBuffer);
    seen.push_back({operation, positionBlock, {bytes, bytes + *dataLength}, *dataLength,
                    std::string(static_cast<const char*>(keyBuffer), keyLength), keyLength,
                    keyNumber});
    if (act) act(dataBuffer, keyBuffer, positionBlock);
    return answer;
  }
};

TEST(BookCursor, RecordOperationsCarryTheStoredRecordAndA255ByteKey) {
  ScriptedManager manager;
  BookCursor cursor;
  cursor.Record.Field00 = "G-2019-00123";
  cursor.Record.DispFlag = -1;
  cursor.KeyBuffer = "/books/old/FILE3.DAT ";
  cursor.KeyNumber = 3;
  manager.answer = 12;
  EXPECT_EQ(cursor.call(manager, rm::op::Insert), 12);

  ASSERT_EQ(manager.seen.size(), 1u);
  const auto& call = manager.seen[0];
  EXPECT_EQ(call.operation, rm::op::Insert);
  EXPECT_EQ(call.positionBlock, cursor.PosBlock.data());
  EXPECT_EQ(call.dataLength, 376);
  const StoredRecord expected = toStored(cursor.Record);
  EXPECT_EQ(call.data, std::vector<uint8_t>(expected.begin(), expected.end()));
  EXPECT_EQ(call.keyLength, 255);
  EXPECT_EQ(call.key, "/books/old/FILE3.DAT " + std::string(255 - 21, '\0'));
  EXPECT_EQ(call.keyNumber, 3);
  EXPECT_EQ(cursor.KeyBuffer, "/books/old/FILE3.DAT ");
}

TEST(BookCursor, TakesBackWhatTheRecordManagerLeft) {
  ScriptedManager manager;
  BookCursor cursor;
  cursor.Record.Field27 = "ABCDEFGHIJKLMNOPQRSTU";
  cursor.KeyBuffer = std::string(15, ' ');
  manager.act = [](void* data, void* key, void* positionBlock) {
    GunRecord found;
    found.Field00 = "G-2020-00007";
    found.Status = "PAWN";
    found.Field27 = std::string(20, 'x');
    toStored(found, static_cast<uint8_t*>(data));
    std::memset(key, 'K', 255);  // more than went out
    std::memcpy(positionBlock, "opened", 6);
  };
  ASSERT_EQ(cursor.call(manager, rm::op::GetGreaterOrEqual), 0);
  EXPECT_EQ(cursor.Record.Field00.str(), "G-2020-00007   ");
  EXPECT_EQ(cursor.Record.Status.str(), "PAWN           ");
  EXPECT_EQ(cursor.Record.Field27.str(), std::string(20, 'x') + "U");
  EXPECT_EQ(cursor.KeyBuffer, std::string(15, 'K'));  // as many bytes as went out
  EXPECT_EQ(std::string(cursor.PosBlock.data(), 6), "opened");
  EXPECT_EQ(cursor.PosBlock[6], ' ');
}

TEST(BookCursor, StatCarriesTheStatBufferAndLeavesTheRecordAlone) {
  ScriptedManager manager;
  BookCursor cursor;
  cursor.Record.Field00 = "KEEP";
  cursor.KeyBuffer = std::string(255, ' ');
  cursor.KeyNumber = -1;
  manager.act = [](void* data, void*, void*) {
    auto* bytes = static_cast<uint8_t*>(data);
    bytes[6] = 57;
    bytes[7] = 48;
    bytes[209] = 1;
  };
  cursor.call(manager, rm::op::Stat);
  ASSERT_EQ(manager.seen.size(), 1u);
  EXPECT_EQ(manager.seen[0].dataLength, 210);
  EXPECT_EQ(manager.seen[0].keyNumber, -1);
  EXPECT_EQ(cursor.StatBuffer[6], 57);
  EXPECT_EQ(cursor.StatBuffer[7], 48);
  EXPECT_EQ(cursor.StatBuffer[209], 1);
  EXPECT_EQ(cursor.Record.Field00.str(), "KEEP           ");
}

TEST(BookCursor, CutsALongKeyBufferAt255Bytes) {
  ScriptedManager manager;
  BookCursor cursor;
  cursor.KeyBuffer = std::string(300, 'p');
  cursor.call(manager, rm::op::Open);
  EXPECT_EQ(manager.seen[0].key, std::string(255, 'p'));
  EXPECT_EQ(cursor.KeyBuffer, std::string(255, 'p'));
}

}  // namespace
}  // namespace varnok::gunbook
