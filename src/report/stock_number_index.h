// Which entry of a session each stock number (the 15 bytes of Field00)
// stands for. A session may touch every entry of a large book, so this is
// one flat table with open addressing rather than a node per stock number.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "recordmanager/huge_pages.h"

namespace varnok::report {

class StockNumberIndex {
 public:
  static constexpr std::size_t kKeyLength = 15;

  // The entry `stock` stands for, and false; or, when it stands for none,
  // `fresh`, now its entry, and true.
  std::pair<uint32_t, bool> findOrAdd(const uint8_t* stock, uint32_t fresh) {
    if ((used_ + 1) * 2 > slots_.size()) grow(slots_.empty() ? kFirstSize : slots_.size() * 2);
    std::size_t at = home(stock);
    for (; slots_[at].used; at = next(at))
      if (same(slots_[at].key.data(), stock)) return {slots_[at].entry, false};
    place(at, stock, fresh);
    return {fresh, true};
  }

  // `stock` now stands for `entry`.
  void set(const uint8_t* stock, uint32_t entry) {
    const auto [found, added] = findOrAdd(stock, entry);
    if (!added) slots_[find(stock)].entry = entry;
  }

  // Has the processor fetch where `stock` would be, ahead of a findOrAdd:
  // a large table is mostly out of its caches.
  void prefetch(const uint8_t* stock) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[home(stock)]);
  }

  // Room for `entries` without growing.
  void reserve(std::size_t entries) {
    std::size_t size = kFirstSize;
    while (size < entries * 2) size *= 2;
    if (size > slots_.size()) grow(size);
  }

  void erase(const uint8_t* stock) {
    if (slots_.empty()) return;
    std::size_t hole = find(stock);
    if (!slots_[hole].used) return;
    slots_[hole].used = false;
    --used_;
    // Moves back each later slot of the run that may no longer be found
    // past the hole.
    for (std::size_t at = next(hole); slots_[at].used; at = next(at)) {
      const std::size_t wanted = home(slots_[at].key.data());
      const bool reachable = hole <= at ? hole < wanted && wanted <= at : hole < wanted || wanted <= at;
      if (reachable) continue;
      slots_[hole] = slots_[at];
      slots_[at].used = false;
      hole = at;
    }
  }

 private:
  static constexpr std::size_t kFirstSize = 1024;  // slots; a power of two
  struct Slot {
    std::array<uint8_t, kKeyLength> key;
    bool used = false;
    uint32_t entry = 0;
  };

  std::size_t home(const uint8_t* stock) const {
    uint64_t low = 0, high = 0;
    std::memcpy(&low, stock, 8);
    std::memcpy(&high, stock + 8, kKeyLength - 8);
    // Every byte must reach the bits kept: stock numbers often differ only
    // in their last digits.
    uint64_t mixed = low * 0x9E3779B97F4A7C15ULL ^ high * 0xC2B2AE3D27D4EB4FULL;
    mixed ^= mixed >> 31;
    mixed *= 0xBF58476D1CE4E5B9ULL;
    mixed ^= mixed >> 29;
    return std::size_t(mixed) & (slots_.size() - 1);
  }
  std::size_t next(std::size_t at) const { return (at + 1) & (slots_.size() - 1); }
  static bool same(const uint8_t* a, const uint8_t* b) {
    uint64_t a0, a1, b0, b1;
    std::memcpy(&a0, a, 8);
    std::memcpy(&b0, b, 8);
    std::memcpy(&a1, a + kKeyLength - 8, 8);
    std::memcpy(&b1, b + kKeyLength - 8, 8);
    return a0 == b0 && a1 == b1;
  }
  // The slot holding `stock`, or the free slot that ends its run.
  std::size_t find(const uint8_t* stock) const {
    std::size_t at = home(stock);
    while (slots_[at].used && !same(slots_[at].key.data(), stock))
      at = next(at);
    return at;
  }
  void place(std::size_t at, const uint8_t* stock, uint32_t entry) {
    std::memcpy(slots_[at].key.data(), stock, kKeyLength);
    slots_[at].used = true;
    slots_[at].entry = entry;
    ++used_;
  }
  void grow(std::size_t size) {
    std::vector<Slot, rm::HugePageAllocator<Slot>> old = std::move(slots_);
    slots_.assign(size, Slot{});
    used_ = 0;
    for (const Slot& slot : old)
      if (slot.used) place(find(slot.key.data()), slot.key.data(), slot.entry);
  }

  std::vector<Slot, rm::HugePageAllocator<Slot>> slots_;
  std::size_t used_ = 0;
};

}  // namespace varnok::report
