#include "recordmanager/book_session.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <vector>

#include "recordmanager/status.h"

namespace varnok::rm {
namespace {

constexpr int64_t kBeforeAnySeq = std::numeric_limits<int64_t>::min();

const uint8_t* keyOf(const Entry* entry, int keyNumber) {
  return entry->data.data() + kKeyPlaces[keyNumber].offset;
}

IndexKey entryKey(const Entry* entry, int keyNumber) {
  return indexKey(keyOf(entry, keyNumber), kKeyPlaces[keyNumber].length, entry->seq);
}

IndexKey positionKey(const Position& position) {
  return indexKey(position.keyBytes.data(), kKeyPlaces[position.key].length, position.seq);
}

// Where a start value (or a Field00) lies: before every entry holding it.
IndexKey startKey(const uint8_t* bytes, int keyNumber) {
  return indexKey(bytes, kKeyPlaces[keyNumber].length, kBeforeAnySeq);
}

}  // namespace

BookSession::BookSession() {
  for (KeyIndex& index : indexes_)
    index = KeyIndex(ItemOrder(), PoolAllocator<IndexItem>(&indexNodes_));
}

int16_t BookSession::open(const std::string& path, std::unique_ptr<BookSession>& out) {
  std::unique_ptr<BookSession> session(new BookSession());
  const auto load = [&session](int64_t seq, const uint8_t* data) {
    return session->load(seq, data);
  };
  if (int16_t result = BookFile::open(path, load, session->file_)) return result;
  // Two entries with one Field00 mean the file was damaged or made by hand.
  if (!session->checkField00sUnique()) return status::IoError;
  session->live_ = session->entries_.size();
  session->file_->removeStaleJournal();
  out = std::move(session);
  return status::Success;
}

bool BookSession::load(int64_t seq, const uint8_t* data) {
  // The lowest seq is kept for probes before every entry; the highest would
  // leave no seq for the next insert.
  if (seq == kBeforeAnySeq || seq == std::numeric_limits<int64_t>::max()) return false;
  Entry& entry = entries_.add();
  entry.seq = seq;
  entry.inFile = true;
  std::copy_n(data, kRecordLength, entry.data.begin());
  nextSeq_ = std::max(nextSeq_, seq + 1);
  return true;
}

bool BookSession::checkField00sUnique() {
  field00Items_.reserve(entries_.size());
  for (Entry& entry : entries_) field00Items_.push_back(IndexItem{entryKey(&entry, 0), &entry});
  std::sort(field00Items_.begin(), field00Items_.end(), ItemOrder());
  return std::adjacent_find(field00Items_.begin(), field00Items_.end(),
                            [](const IndexItem& a, const IndexItem& b) {
                              return sameBytes(a.key, b.key);
                            }) == field00Items_.end();
}

// Sorting the key's items once and adding them in order is several times
// faster than inserting entry by entry into the tree. The order is built
// from the entries as they are now, changes of the session included.
void BookSession::buildIndex(int keyNumber) {
  if (built_[keyNumber]) return;
  std::vector<IndexItem> items;
  if (keyNumber == 0 && !field00Items_.empty()) {
    items = std::move(field00Items_);
  } else {
    field00Items_ = {};
    items.reserve(live_);
    for (Entry& entry : entries_)
      if (!entry.deleted) items.push_back(IndexItem{entryKey(&entry, keyNumber), &entry});
    std::sort(items.begin(), items.end(), ItemOrder());
  }
  KeyIndex& index = indexes_[keyNumber];
  for (const IndexItem& item : items)
    item.entry->places[keyNumber] = index.emplace_hint(index.end(), item);
  field00Items_ = {};
  built_[keyNumber] = true;
}

bool BookSession::field00Taken(const uint8_t* record, const Entry* self) {
  // Field00 is unique, so an entry that keeps its own clashes with no other.
  if (std::memcmp(keyOf(self, 0), record, kKeyPlaces[0].length) == 0) return false;
  buildIndex(0);
  const KeyIndex& index = indexes_[0];
  const IndexKey wanted = startKey(record, 0);
  const auto it = index.lower_bound(wanted);
  return it != index.end() && it->entry != self && sameBytes(it->key, wanted);
}

Entry* BookSession::current(const Position& position) {
  if (position.state != Position::State::OnEntry) return nullptr;
  buildIndex(position.key);
  const IndexKey at = positionKey(position);
  if (hintKey_ == position.key && hint_->key == at) return hint_->entry;
  KeyIndex& index = indexes_[position.key];
  const auto it = index.find(at);
  if (it == index.end()) return nullptr;
  hintKey_ = position.key;
  hint_ = it;
  return it->entry;
}

void BookSession::place(Position& position, int keyNumber, KeyIndex::iterator at,
                        uint8_t* record) {
  const Entry* entry = at->entry;
  position.state = Position::State::OnEntry;
  position.key = keyNumber;
  position.seq = entry->seq;
  position.keyBytes.fill(0);
  std::copy_n(keyOf(entry, keyNumber), kKeyPlaces[keyNumber].length, position.keyBytes.begin());
  hintKey_ = keyNumber;
  hint_ = at;
  if (record != nullptr) std::copy(entry->data.begin(), entry->data.end(), record);
}

void BookSession::eraseFrom(int keyNumber, Entry* entry) {
  if (!built_[keyNumber]) return;
  const auto it = entry->places[keyNumber];
  if (hintKey_ == keyNumber && hint_ == it) hintKey_ = -1;
  indexes_[keyNumber].erase(it);
}

KeyIndex::iterator BookSession::insertInto(int keyNumber, Entry* entry) {
  const auto it = indexes_[keyNumber].insert(IndexItem{entryKey(entry, keyNumber), entry}).first;
  entry->places[keyNumber] = it;
  return it;
}

int16_t BookSession::insert(Position& position, const uint8_t* record, int keyNumber) {
  const int current = keyNumber >= 0 && keyNumber < kKeyCount ? keyNumber : 0;
  buildIndex(0);
  buildIndex(current);
  // Where the Field00 would go: taken, or the place before which the new
  // entry goes in key 0, which spares a second search there.
  const IndexKey wanted = startKey(record, 0);
  const auto follower = indexes_[0].lower_bound(wanted);
  if (follower != indexes_[0].end() && sameBytes(follower->key, wanted))
    return status::DuplicateKey;
  Entry& entry = entries_.add();
  entry.seq = nextSeq_++;
  std::copy_n(record, kRecordLength, entry.data.begin());
  entry.places[0] = indexes_[0].emplace_hint(follower, IndexItem{entryKey(&entry, 0), &entry});
  for (int key = 1; key < kKeyCount; ++key)
    if (built_[key]) insertInto(key, &entry);
  const KeyIndex::iterator at = entry.places[current];
  ++live_;
  changed_ = true;
  place(position, current, at, nullptr);
  return status::Success;
}

int16_t BookSession::update(Position& position, const uint8_t* record) {
  Entry* entry = current(position);
  if (entry == nullptr) return status::InvalidPositioning;
  if (std::equal(entry->data.begin(), entry->data.end(), record)) return status::Success;
  if (field00Taken(record, entry)) return status::DuplicateKey;
  std::array<bool, kKeyCount> moves{};
  for (int key = 0; key < kKeyCount; ++key) {
    const KeyPlace& where = kKeyPlaces[key];
    moves[key] = built_[key] &&
                 std::memcmp(keyOf(entry, key), record + where.offset, where.length) != 0;
    if (moves[key]) eraseFrom(key, entry);
  }
  std::copy_n(record, kRecordLength, entry->data.begin());
  entry->changed = true;
  changed_ = true;
  for (int key = 0; key < kKeyCount; ++key) {
    if (!moves[key]) continue;
    const auto it = insertInto(key, entry);
    if (key == position.key) place(position, key, it, nullptr);
  }
  return status::Success;
}

int16_t BookSession::remove(Position& position) {
  Entry* entry = current(position);
  if (entry == nullptr) return status::InvalidPositioning;
  for (int key = 0; key < kKeyCount; ++key) eraseFrom(key, entry);
  entry->deleted = true;
  --live_;
  changed_ = true;
  position.state = Position::State::DeletedPlace;
  return status::Success;
}

int16_t BookSession::getNext(Position& position, int keyNumber, uint8_t* record) {
  if (position.state == Position::State::None) return status::InvalidPositioning;
  if (keyNumber != position.key) return status::DifferentKeyNumber;
  if (position.state == Position::State::PastEnd) return status::EndOfFile;
  buildIndex(keyNumber);
  KeyIndex& index = indexes_[keyNumber];
  // Strictly after the position's (key bytes, seq): from a deleted entry's
  // place too, which is why the place is kept.
  const auto next = current(position) != nullptr ? std::next(hint_)
                                                 : index.upper_bound(positionKey(position));
  if (next == index.end()) {
    position.state = Position::State::PastEnd;
    return status::EndOfFile;
  }
  place(position, keyNumber, next, record);
  return status::Success;
}

int16_t BookSession::getGreaterOrEqual(Position& position, int keyNumber, const uint8_t* start,
                                       uint8_t* record) {
  buildIndex(keyNumber);
  KeyIndex& index = indexes_[keyNumber];
  const std::size_t length = kKeyPlaces[keyNumber].length;
  // All blanks means "from the first entry", even before keys that hold
  // bytes below the blank (a field the store program left NUL-filled).
  const bool fromFirst = std::all_of(start, start + length, [](uint8_t c) { return c == ' '; });
  const auto at = fromFirst ? index.begin() : index.lower_bound(startKey(start, keyNumber));
  if (at == index.end()) {
    position = Position{};
    position.state = Position::State::PastEnd;
    position.key = keyNumber;
    return status::EndOfFile;
  }
  place(position, keyNumber, at, record);
  return status::Success;
}

int16_t BookSession::commit(const CommitHooks& hooks) {
  std::vector<EntryWrite> writes;
  for (const Entry& entry : entries_) {
    if (entry.deleted) {
      if (entry.inFile) writes.push_back({EntryWrite::Kind::Delete, entry.seq, nullptr});
    } else if (!entry.inFile) {
      writes.push_back({EntryWrite::Kind::Insert, entry.seq, entry.data.data()});
    } else if (entry.changed) {
      writes.push_back({EntryWrite::Kind::Update, entry.seq, entry.data.data()});
    }
  }
  return file_->commit(writes, hooks);
}

}  // namespace varnok::rm
