// The record manager call: the one entry point through which the program
// reads and changes gun book files.
//
// A call takes an operation, a 128-byte position block, a data buffer with a
// pointer to its 16-bit length, a key buffer with its length, and a key
// number, and returns a 16-bit status (0 is success; see status.h).
//
//   Open (0)        key buffer: the book file's path, ended by a blank or a
//                   NUL (blanks inside the path belong to it; '\' and '/'
//                   both separate folders). The position block must hold 128
//                   blanks (or any block that names no open book); it then
//                   names the open book. Key number 0.
//   Close (1)       makes every change since Open durable, in one step, and
//                   closes the book. On failure the book stays open with its
//                   changes, so the close can be tried again.
//   Discard (21)    closes the book and drops every change since Open.
//   Insert (2)      adds the 376-byte record; it becomes current in the key
//                   of keyNumber (key 0 when that is no key). 5 on a Field00
//                   already in the book.
//   Update (3)      replaces the current record. 8 with no current record.
//                   When the key being walked changes, the position follows
//                   the record.
//   Delete (4)      removes the current record. Its place is kept: a Get Next
//                   returns the record that followed it.
//   Get Next (6)    the record after the current one in the current key's
//                   order; 9 at the end.
//   Get Greater or Equal (9)
//                   the first record whose key is at or past the start value
//                   in the key buffer; a start value of all blanks gives the
//                   first record of that key even when stored keys hold
//                   bytes below the blank. 9 when there is none.
//   Stat (15)       fills 210 bytes: record length 376 at 0-1, page size at
//                   2-3, number of keys at 4, record count at 6-9 (32-bit
//                   little-endian), the rest zero.
//   Create (14)     makes an empty book at the path in the key buffer; 59
//                   when a file is already there. Nothing stays open.
//
// Get operations copy the record into the data buffer, set the length to 376
// and write the record's key value at the start of the key buffer.
//
// Keys: 0 on Field00 (unique), 1 on DateIn, 2 on Field01, 3 on Field03
// (duplicates in insertion order). Order is bytewise on the stored bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "recordmanager/status.h"

namespace varnok::rm {

inline constexpr std::size_t kPositionBlockLength = 128;
inline constexpr std::size_t kRecordLength = 376;
inline constexpr std::size_t kStatBufferLength = 210;
inline constexpr uint16_t kKeyBufferLength = 255;
inline constexpr int kKeyCount = 4;

class RecordManager {
 public:
  virtual ~RecordManager() = default;

  // keyBuffer points at keyLength bytes; positionBlock at 128.
  virtual int16_t call(uint16_t operation, void* positionBlock, void* dataBuffer,
                       uint16_t* dataLength, void* keyBuffer, uint16_t keyLength,
                       int16_t keyNumber) = 0;
};

// The process's book engine (the SQLite-backed record manager).
RecordManager& bookEngine();

}  // namespace varnok::rm

// The same call for C callers; it goes to bookEngine().
extern "C" int16_t BTRCALL(uint16_t operation, void* positionBlock, void* dataBuffer,
                           uint16_t* dataLength, void* keyBuffer, uint16_t keyLength,
                           int16_t keyNumber);
