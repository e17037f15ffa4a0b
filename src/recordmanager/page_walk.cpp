#include "recordmanager/page_walk.h"

#include <sqlite3.h>

#include <algorithm>
#include <vector>

#include "recordmanager/book_format.h"
#include "recordmanager/checksum.h"
#include "recordmanager/status.h"

namespace varnok::rm {
namespace {

constexpr int kMaxDepth = 20;  // SQLite's cursors go no deeper
constexpr uint8_t kInteriorTable = 0x05;
constexpr uint8_t kLeafTable = 0x0D;
// The page holding this offset is never used (SQLite's locks lie there).
constexpr int64_t kPendingByte = 0x40000000;
// A row's data column: a blob of the record length.
constexpr uint64_t kDataType = 12 + 2 * kRecordLength;

uint32_t get2(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t get4(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// SQLite's varint at p, read no further than end: its length, 0 when it
// does not fit.
uint32_t getVarint(const uint8_t* p, const uint8_t* end, uint64_t& value) {
  value = 0;
  for (uint32_t i = 0; i < 9; ++i) {
    if (p + i >= end) return 0;
    if (i == 8) {
      value = value << 8 | p[i];
      return 9;
    }
    value = value << 7 | (p[i] & 0x7F);
    if ((p[i] & 0x80) == 0) return i + 1;
  }
  return 0;
}

// The bytes a column of this serial type takes; false for the reserved types.
bool columnBytes(uint64_t type, uint64_t& bytes) {
  static constexpr uint8_t kFixed[10] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0};
  if (type == 10 || type == 11) return false;
  bytes = type < 10 ? kFixed[type] : (type - 12) / 2;
  return true;
}

// An integer column's value (serial types 1 to 6, 8 and 9).
bool integerValue(uint64_t type, const uint8_t* p, int64_t& value) {
  if (type == 8 || type == 9) {
    value = int64_t(type - 8);
    return true;
  }
  uint64_t bytes = 0;
  if (type < 1 || type > 6 || !columnBytes(type, bytes)) return false;
  uint64_t raw = p[0] & 0x80 ? ~uint64_t(0) : 0;
  for (uint64_t i = 0; i < bytes; ++i) raw = raw << 8 | p[i];
  value = int64_t(raw);
  return true;
}

// Keys a subtree may hold: above low (when given), up to high (when given).
struct Bounds {
  bool hasLow = false, hasHigh = false;
  int64_t low = 0, high = 0;
  bool admit(int64_t key) const { return (!hasLow || key > low) && (!hasHigh || key <= high); }
};

struct Extent {
  uint32_t from, to;  // [from, to)
  bool operator<(const Extent& other) const { return from < other.from; }
};

class PageWalk {
 public:
  PageWalk(sqlite3_file* file, const EntryTake& take) : file_(file), take_(take) {}

  bool run(int64_t entriesRoot) {
    if (!readHeader()) return false;
    int leafDepth = -1;
    if (!walkTree(1, 0, false, Bounds{}, leafDepth)) return false;
    leafDepth = -1;
    if (entriesRoot < 2 || entriesRoot > int64_t(pages_)) return false;
    if (!walkTree(uint32_t(entriesRoot), 0, true, Bounds{}, leafDepth)) return false;
    return walkFreeList() &&
           std::find(used_.begin() + 1, used_.end(), false) == used_.end();
  }

 private:
  bool read(uint32_t page, std::vector<uint8_t>& into) {
    into.resize(pageSize_);
    return file_->pMethods->xRead(file_, into.data(), int(pageSize_),
                                  sqlite3_int64(page - 1) * pageSize_) == SQLITE_OK;
  }

  bool readHeader() {
    uint8_t h[100];
    sqlite3_int64 size = 0;
    if (file_->pMethods->xRead(file_, h, sizeof h, 0) != SQLITE_OK ||
        file_->pMethods->xFileSize(file_, &size) != SQLITE_OK)
      return false;
    pageSize_ = get2(h + 16) == 1 ? 65536 : get2(h + 16);
    if (pageSize_ < 512 || h[20] > pageSize_ - 480) return false;
    usable_ = pageSize_ - h[20];
    // SQLite trusts the header's page count only while its
    // version-valid-for number matches the change counter.
    const bool countValid = get4(h + 28) != 0 && get4(h + 24) == get4(h + 92);
    pages_ = countValid ? get4(h + 28) : uint32_t(size / pageSize_);
    // A largest root page means pointer maps, which no book has; and
    // incremental vacuum means nothing without them.
    if (get4(h + 52) != 0 || get4(h + 64) != 0) return false;
    freeTrunk_ = get4(h + 32);
    freeCount_ = get4(h + 36);
    used_.assign(std::size_t(pages_) + 1, false);
    used_[0] = true;
    const int64_t pending = kPendingByte / pageSize_ + 1;
    if (pending <= int64_t(pages_)) used_[std::size_t(pending)] = true;
    buffers_.resize(kMaxDepth + 1);
    return pages_ > 0;
  }

  // The page is in the file and used by nothing else so far.
  bool claim(uint32_t page) {
    if (page < 1 || page > pages_ || used_[page]) return false;
    used_[page] = true;
    return true;
  }

  bool walkTree(uint32_t page, int depth, bool load, const Bounds& bounds, int& leafDepth);
  bool checkSpace(const uint8_t* data, uint32_t hdr, bool leaf);
  bool takeRow(const uint8_t* payload, uint64_t length, int64_t seq);
  bool walkFreeList();

  sqlite3_file* file_;
  const EntryTake& take_;
  uint32_t pageSize_ = 0, usable_ = 0, pages_ = 0, freeTrunk_ = 0, freeCount_ = 0;
  std::vector<bool> used_;
  std::vector<std::vector<uint8_t>> buffers_;  // one page per depth
  std::vector<Extent> extents_;
};

// The page's cells and free blocks lie in its content area, apart, and
// with what lies between them adding up to the page's fragment count.
bool PageWalk::checkSpace(const uint8_t* data, uint32_t hdr, bool leaf) {
  const uint32_t cells = get2(data + hdr + 3);
  if (cells > (pageSize_ - 8) / 6) return false;
  const uint32_t pointers = hdr + (leaf ? 8 : 12);
  const uint32_t content = get2(data + hdr + 5) == 0 ? 65536 : get2(data + hdr + 5);
  if (content < pointers + 2 * cells || content > usable_) return false;
  extents_.clear();
  const uint8_t* end = data + usable_;
  for (uint32_t i = 0; i < cells; ++i) {
    const uint32_t at = get2(data + pointers + 2 * i);
    if (at < content || at > usable_ - 4) return false;
    uint64_t first = 0, second = 0;
    uint32_t size = 0;
    if (leaf) {
      const uint32_t a = getVarint(data + at, end, first);
      const uint32_t b = a == 0 ? 0 : getVarint(data + at + a, end, second);
      // A payload past what a page holds would go on overflow pages.
      if (b == 0 || first > usable_ - 35) return false;
      size = std::max<uint32_t>(4, a + b + uint32_t(first));
    } else {
      const uint32_t b = getVarint(data + at + 4, end, second);
      if (b == 0) return false;
      size = 4 + b;
    }
    if (uint64_t(at) + size > usable_) return false;
    extents_.push_back({at, at + size});
  }
  for (uint32_t at = get2(data + hdr + 1); at != 0;) {
    if (at < content || at > usable_ - 4) return false;
    const uint32_t size = get2(data + at + 2), next = get2(data + at);
    if (size < 4 || at + size > usable_ || (next != 0 && next <= at + size + 3)) return false;
    extents_.push_back({at, at + size});
    at = next;
  }
  std::sort(extents_.begin(), extents_.end());
  uint32_t covered = content, fragments = 0;
  for (const Extent& extent : extents_) {
    if (extent.from < covered) return false;
    fragments += extent.from - covered;
    covered = extent.to;
  }
  return fragments + (usable_ - covered) == data[hdr + 7];
}

bool PageWalk::walkTree(uint32_t page, int depth, bool load, const Bounds& bounds,
                        int& leafDepth) {
  if (depth > kMaxDepth || !claim(page)) return false;
  std::vector<uint8_t>& buffer = buffers_[std::size_t(depth)];
  if (!read(page, buffer)) return false;
  const uint8_t* data = buffer.data();
  const uint32_t hdr = page == 1 ? 100 : 0;
  const bool leaf = data[hdr] == kLeafTable;
  if ((!leaf && data[hdr] != kInteriorTable) || !checkSpace(data, hdr, leaf)) return false;
  const uint32_t cells = get2(data + hdr + 3);
  const uint32_t pointers = hdr + (leaf ? 8 : 12);
  const uint8_t* end = data + usable_;
  Bounds below = bounds;  // of the next child: above the last key so far
  for (uint32_t i = 0; i < cells; ++i) {
    const uint8_t* cell = data + get2(data + pointers + 2 * i);
    uint64_t payload = 0, key = 0;
    // Both varints fit the page: checkSpace saw them.
    const uint32_t a = leaf ? getVarint(cell, end, payload) : 4;
    const uint32_t b = getVarint(cell + a, end, key);
    if (!below.admit(int64_t(key))) return false;
    if (leaf) {
      if (load && !takeRow(cell + a + b, payload, int64_t(key))) return false;
    } else {
      Bounds child = below;
      child.hasHigh = true;
      child.high = int64_t(key);
      if (!walkTree(get4(cell), depth + 1, load, child, leafDepth)) return false;
      // The walk below reused no buffer of this depth: data is still this page.
    }
    below.hasLow = true;
    below.low = int64_t(key);
  }
  if (leaf) {
    if (leafDepth < 0) leafDepth = depth;
    return leafDepth == depth;
  }
  return walkTree(get4(data + hdr + 8), depth + 1, load, below, leafDepth);
}

// A row as a book writes it: seq (its rowid), a blob of the record length,
// and that blob's CRC-32 as an integer.
bool PageWalk::takeRow(const uint8_t* payload, uint64_t length, int64_t seq) {
  const uint8_t* end = payload + length;
  uint64_t headerBytes = 0, types[3] = {};
  uint32_t at = getVarint(payload, end, headerBytes);
  if (at == 0 || headerBytes > length || headerBytes < at) return false;
  const uint8_t* header = payload + headerBytes;
  for (uint64_t& type : types) {
    const uint32_t n = payload + at < header ? getVarint(payload + at, header, type) : 0;
    if (n == 0) return false;  // fewer than three columns
    at += n;
  }
  uint64_t first = 0, second = 0, third = 0;
  if (!columnBytes(types[0], first) || !columnBytes(types[1], second) ||
      !columnBytes(types[2], third) || types[1] != kDataType)
    return false;
  const uint64_t dataAt = headerBytes + first, crcAt = dataAt + second;
  if (crcAt + third > length) return false;
  int64_t crc = 0;
  if (!integerValue(types[2], payload + crcAt, crc)) return false;
  const uint8_t* data = payload + dataAt;
  if (crc != int64_t(zipCrc32(data, kRecordLength))) return false;
  return take_(seq, data);
}

// The free list's trunk pages, to the one that names no next, and the
// leaves they name: as many pages as the header counts, each used once.
bool PageWalk::walkFreeList() {
  std::vector<uint8_t>& buffer = buffers_[0];
  uint64_t counted = 0;
  for (uint32_t trunk = freeTrunk_; trunk != 0; trunk = get4(buffer.data())) {
    if (!claim(trunk) || !read(trunk, buffer)) return false;
    const uint32_t leaves = get4(buffer.data() + 4);
    counted += 1 + uint64_t(leaves);
    if (leaves > usable_ / 4 - 2 || counted > freeCount_) return false;
    for (uint32_t i = 0; i < leaves; ++i)
      if (!claim(get4(buffer.data() + 8 + 4 * i))) return false;
  }
  return counted == freeCount_;
}

}  // namespace

int16_t walkBookPages(sqlite3_file* file, int64_t entriesRoot, const EntryTake& take) {
  if (file == nullptr) return status::IoError;
  PageWalk walk(file, take);
  return walk.run(entriesRoot) ? status::Success : status::IoError;
}

}  // namespace varnok::rm
