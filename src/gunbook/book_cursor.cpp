#include "gunbook/book_cursor.h"

#include <algorithm>

namespace varnok::gunbook {

int16_t BookCursor::call(rm::RecordManager& recordManager, uint16_t operation) {
  // The record manager may write anywhere in the 255 bytes it is given; only
  // as many bytes as went out come back, so a start value keeps its length.
  std::array<char, rm::kKeyBufferLength> key{};
  const std::size_t sent = std::min<std::size_t>(KeyBuffer.size(), key.size());
  std::copy_n(KeyBuffer.data(), sent, key.data());

  int16_t status;
  if (operation == rm::op::Stat) {
    uint16_t length = rm::kStatBufferLength;
    status = recordManager.call(operation, PosBlock.data(), StatBuffer.data(), &length,
                                key.data(), rm::kKeyBufferLength, KeyNumber);
  } else {
    StoredRecord stored = toStored(Record);
    uint16_t length = kStoredRecordLength;
    status = recordManager.call(operation, PosBlock.data(), stored.data(), &length, key.data(),
                                rm::kKeyBufferLength, KeyNumber);
    fromStored(stored.data(), Record);
  }
  KeyBuffer.assign(key.data(), sent);
  return status;
}

}  // namespace varnok::gunbook
