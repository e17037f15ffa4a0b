// The 128-byte position block: what the caller carries between calls on an
// open book. It names the session (slot and session id, so that a block of
// a closed book or plain garbage is told apart) and holds the position in a
// key's order.
#pragma once

#include <array>
#include <cstdint>

#include "recordmanager/key_index.h"

namespace varnok::rm {

struct Position {
  enum class State : uint8_t {
    None,          // nothing fetched yet
    OnEntry,       // on the entry (key bytes, seq)
    DeletedPlace,  // where the entry (key bytes, seq) was before its Delete
    PastEnd,       // after the last entry
  };
  State state = State::None;
  int key = 0;
  int64_t seq = 0;
  std::array<uint8_t, kMaxKeyLength> keyBytes{};
};

struct BlockHandle {
  uint32_t slot = 0;
  uint64_t session = 0;
};

// False when the block is not one this engine wrote.
bool readPositionBlock(const void* block, BlockHandle& handle, Position& position);
void writePositionBlock(void* block, const BlockHandle& handle, const Position& position);

}  // namespace varnok::rm
