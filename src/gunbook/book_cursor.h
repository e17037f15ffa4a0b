// The book cursor: the state through which a pass talks to one open book.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "gunbook/gun_record.h"
#include "recordmanager/record_manager.h"

namespace varnok::gunbook {

struct BookCursor {
  BookCursor() { PosBlock.fill(' '); }

  std::array<char, rm::kPositionBlockLength> PosBlock;  // 128 blanks before Open
  std::string KeyBuffer;     // bytes: a path for Open, a start value for a scan
  int16_t KeyLength = 255;
  int16_t KeyNumber = 0;
  GunRecord Record;
  std::array<uint8_t, rm::kStatBufferLength> StatBuffer{};

  // Makes one call with this cursor's buffers: Stat carries StatBuffer,
  // every other operation the record in its stored form. The key buffer goes
  // out as a 255-byte buffer (the text, then NULs). Afterwards the record (or
  // StatBuffer), the position block and the key buffer (as many bytes as
  // went out) are taken back as the record manager left them.
  int16_t call(rm::RecordManager& recordManager, uint16_t operation);
};

}  // namespace varnok::gunbook
