// An open book: every entry in memory, the order of each key, and the
// changes made since Open, which reach the file only through commit().
//
// The operations take the caller's Position (decoded from its position
// block) and move it; the engine has already checked buffers and lengths.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "recordmanager/book_file.h"
#include "recordmanager/entry_blocks.h"
#include "recordmanager/key_index.h"
#include "recordmanager/position_block.h"

namespace varnok::rm {

class BookSession {
 public:
  static int16_t open(const std::string& path, std::unique_ptr<BookSession>& out);

  // Adds the entry; it becomes current in keyNumber (key 0 when that is no
  // key). DuplicateKey when its Field00 is already in the book.
  int16_t insert(Position& position, const uint8_t* record, int keyNumber);
  // Replaces the current entry; the position follows it in its key's order.
  int16_t update(Position& position, const uint8_t* record);
  // Removes the current entry; the position keeps its place.
  int16_t remove(Position& position);
  // The entry the position stands on, as the book holds it now; null when
  // it stands on none.
  const uint8_t* currentData(const Position& position) {
    const Entry* entry = current(position);
    return entry == nullptr ? nullptr : entry->data.data();
  }
  // Both copy the entry they reach into record.
  int16_t getNext(Position& position, int keyNumber, uint8_t* record);
  int16_t getGreaterOrEqual(Position& position, int keyNumber, const uint8_t* start,
                            uint8_t* record);

  // Makes the session's changes durable, with the layer's hooks
  // (BookFile::commit). On failure the session stays as it was, so the
  // caller may try again or give up.
  int16_t commit(const CommitHooks& hooks = {});

  int16_t readFile(const std::function<void(const uint8_t*, std::size_t)>& take) {
    return file_->readWhole(take);
  }

  uint32_t count() const { return uint32_t(live_); }
  // True once an Insert, Delete or an Update that changed bytes was made.
  bool changed() const { return changed_; }
  // Taken up again by a new Open (see BookHold): the lock taken afresh,
  // no position carried over.
  int16_t retake() {
    hintKey_ = -1;
    return file_->retake();
  }
  int pageSize() const { return file_->pageSize(); }
  const FileId& fileId() const { return file_->fileId(); }

 private:
  BookSession();
  bool load(int64_t seq, const uint8_t* data);
  bool checkField00sUnique();
  void buildIndex(int keyNumber);
  Entry* current(const Position& position);
  bool field00Taken(const uint8_t* record, const Entry* self);
  void place(Position& position, int keyNumber, KeyIndex::iterator at, uint8_t* record);
  void eraseFrom(int keyNumber, Entry* entry);
  KeyIndex::iterator insertInto(int keyNumber, Entry* entry);

  std::unique_ptr<BookFile> file_;
  EntryBlocks entries_;  // deleted ones stay till the end
  NodePool indexNodes_;  // outlives the orders whose nodes it holds
  std::array<KeyIndex, kKeyCount> indexes_;
  // Each key's order is built at the first call that needs that key, so
  // that a session pays only for the keys it uses (a pass walks one or two
  // of the four; one that only counts with Stat, none). An entry's places
  // are kept only in built orders. Until key 0 is built, or another key is
  // built first, key 0's items wait here, sorted by the uniqueness check.
  std::array<bool, kKeyCount> built_{};
  std::vector<IndexItem> field00Items_;
  std::size_t live_ = 0;
  bool changed_ = false;
  int64_t nextSeq_ = 1;
  // Where the last call left the position: lets Get Next step on without a
  // search. Checked against the position before use.
  int hintKey_ = -1;
  KeyIndex::iterator hint_;
};

}  // namespace varnok::rm
