#include "recordmanager/position_block.h"

#include <cstring>

#include "recordmanager/record_manager.h"

namespace varnok::rm {
namespace {

// Layout; the block never leaves the process, so native byte order will do.
constexpr uint8_t kMagic[4] = {'V', 'n', 'P', 'B'};
constexpr std::size_t kSlotAt = 4;       // uint32
constexpr std::size_t kSessionAt = 8;    // uint64
constexpr std::size_t kKeyAt = 16;       // uint8
constexpr std::size_t kStateAt = 17;     // uint8
constexpr std::size_t kSeqAt = 18;       // int64
constexpr std::size_t kKeyBytesAt = 26;  // 15 bytes
static_assert(kKeyBytesAt + kMaxKeyLength <= kPositionBlockLength);

}  // namespace

bool readPositionBlock(const void* block, BlockHandle& handle, Position& position) {
  const auto* bytes = static_cast<const uint8_t*>(block);
  if (std::memcmp(bytes, kMagic, sizeof kMagic) != 0) return false;
  const uint8_t key = bytes[kKeyAt];
  const uint8_t state = bytes[kStateAt];
  if (key >= kKeyCount || state > uint8_t(Position::State::PastEnd)) return false;
  std::memcpy(&handle.slot, bytes + kSlotAt, sizeof handle.slot);
  std::memcpy(&handle.session, bytes + kSessionAt, sizeof handle.session);
  position.key = key;
  position.state = Position::State(state);
  std::memcpy(&position.seq, bytes + kSeqAt, sizeof position.seq);
  std::memcpy(position.keyBytes.data(), bytes + kKeyBytesAt, kMaxKeyLength);
  return true;
}

void writePositionBlock(void* block, const BlockHandle& handle, const Position& position) {
  auto* bytes = static_cast<uint8_t*>(block);
  std::memset(bytes, 0, kPositionBlockLength);
  std::memcpy(bytes, kMagic, sizeof kMagic);
  std::memcpy(bytes + kSlotAt, &handle.slot, sizeof handle.slot);
  std::memcpy(bytes + kSessionAt, &handle.session, sizeof handle.session);
  bytes[kKeyAt] = uint8_t(position.key);
  bytes[kStateAt] = uint8_t(position.state);
  std::memcpy(bytes + kSeqAt, &position.seq, sizeof position.seq);
  std::memcpy(bytes + kKeyBytesAt, position.keyBytes.data(), kMaxKeyLength);
}

bool sessionNamedBy(const void* positionBlock, std::pair<uint32_t, uint64_t>& session) {
  BlockHandle handle;
  Position position;
  if (positionBlock == nullptr || !readPositionBlock(positionBlock, handle, position)) return false;
  session = {handle.slot, handle.session};
  return true;
}

}  // namespace varnok::rm
