// Long random runs of operations on a real book, each step compared with a
// plain model of what the book holds and where the position stands.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>

#include "book_test_support.h"
#include "recordmanager/status.h"

namespace varnok::rmtest {
namespace {

namespace status = rm::status;

// The model: entries in a vector, sorted only when a key's order is asked
// for; the position as (key bytes, seq) in that order.
class Model {
 public:
  int16_t insert(const Record& record, int keyNumber) {
    if (findField00(record, -1)) return status::DuplicateKey;
    entries_.push_back({nextSeq_++, record});
    standOn(keyNumber >= 0 && keyNumber < rm::kKeyCount ? keyNumber : 0, entries_.back());
    return status::Success;
  }

  int16_t update(const Record& record) {
    Entry* current = currentEntry();
    if (current == nullptr) return status::InvalidPositioning;
    if (findField00(record, current->seq)) return status::DuplicateKey;
    current->data = record;
    keyBytes_ = keyOf(record, key_);
    return status::Success;
  }

  int16_t remove() {
    Entry* current = currentEntry();
    if (current == nullptr) return status::InvalidPositioning;
    entries_.erase(entries_.begin() + (current - entries_.data()));
    state_ = State::DeletedPlace;
    return status::Success;
  }

  int16_t getNext(int keyNumber, Record& out) {
    if (keyNumber < 0 || keyNumber >= rm::kKeyCount) return status::InvalidKeyNumber;
    if (state_ == State::None) return status::InvalidPositioning;
    if (keyNumber != key_) return status::DifferentKeyNumber;
    if (state_ == State::PastEnd) return status::EndOfFile;
    for (const Entry* e : ordered(keyNumber)) {
      const std::string key = keyOf(e->data, keyNumber);
      if (key > keyBytes_ || (key == keyBytes_ && e->seq > seq_)) return take(keyNumber, *e, out);
    }
    state_ = State::PastEnd;
    return status::EndOfFile;
  }

  int16_t getGreaterOrEqual(int keyNumber, std::string start, Record& out) {
    if (keyNumber < 0 || keyNumber >= rm::kKeyCount) return status::InvalidKeyNumber;
    start.resize(kKeyFields[keyNumber].width, ' ');
    const bool fromFirst = start.find_first_not_of(' ') == std::string::npos;
    for (const Entry* e : ordered(keyNumber))
      if (fromFirst || keyOf(e->data, keyNumber) >= start) return take(keyNumber, *e, out);
    state_ = State::PastEnd;
    key_ = keyNumber;
    return status::EndOfFile;
  }

  void close() {
    committed_ = entries_;
    state_ = State::None;
  }
  void discard() {
    entries_ = committed_;
    state_ = State::None;
  }

  std::size_t count() const { return entries_.size(); }
  std::optional<Record> current() {
    const Entry* e = currentEntry();
    return e ? std::optional<Record>(e->data) : std::nullopt;
  }
  std::optional<Record> any(std::mt19937& random) const {
    if (entries_.empty()) return std::nullopt;
    return entries_[random() % entries_.size()].data;
  }
  std::vector<Record> all(int keyNumber) const {
    std::vector<Record> records;
    for (const Entry* e : ordered(keyNumber)) records.push_back(e->data);
    return records;
  }

 private:
  struct Entry {
    int64_t seq;
    Record data;
  };
  enum class State { None, OnEntry, DeletedPlace, PastEnd };

  std::vector<const Entry*> ordered(int keyNumber) const {
    std::vector<const Entry*> order;
    for (const Entry& e : entries_) order.push_back(&e);
    // std::string compares its chars as unsigned bytes.
    std::stable_sort(order.begin(), order.end(), [keyNumber](const Entry* a, const Entry* b) {
      return keyOf(a->data, keyNumber) < keyOf(b->data, keyNumber);
    });
    return order;
  }
  bool findField00(const Record& record, int64_t exceptSeq) const {
    return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) {
      return e.seq != exceptSeq && keyOf(e.data, 0) == keyOf(record, 0);
    });
  }
  Entry* currentEntry() {
    if (state_ != State::OnEntry) return nullptr;
    for (Entry& e : entries_)
      if (e.seq == seq_) return &e;
    return nullptr;
  }
  void standOn(int keyNumber, const Entry& e) {
    state_ = State::OnEntry;
    key_ = keyNumber;
    seq_ = e.seq;
    keyBytes_ = keyOf(e.data, keyNumber);
  }
  int16_t take(int keyNumber, const Entry& e, Record& out) {
    standOn(keyNumber, e);
    out = e.data;
    return status::Success;
  }

  std::vector<Entry> entries_, committed_;
  int64_t nextSeq_ = 1;
  State state_ = State::None;
  int key_ = 0;
  std::string keyBytes_;
  int64_t seq_ = 0;
};

// Key values that make duplicates, and bytes below and above the blank.
const std::vector<std::string> kKeyValues = {
    "",  "A", "B", "AB", "A B", std::string(15, '\0'), "\x01", std::string("\0A", 2),
    "\x7F", "\xFF", "ZZ", "  A", "0", "20250630"};

class RandomRun {
 public:
  explicit RandomRun(uint32_t seed) : random_(seed) {}

  std::string keyValue() {
    std::string value = kKeyValues[random_() % kKeyValues.size()];
    if (random_() % 2) value += char('0' + random_() % 10);
    return value;
  }
  Record record() {
    Record r;
    for (auto& b : r) b = uint8_t(random_());
    for (int key = 0; key < rm::kKeyCount; ++key) setKey(r, key, keyValue());
    return r;
  }
  // Another version of base: some keys changed, some bytes elsewhere.
  Record changed(Record base, const Model& model) {
    for (int key = 0; key < rm::kKeyCount; ++key)
      if (random_() % 3 == 0) setKey(base, key, keyValue());
    if (random_() % 10 == 0)
      if (auto other = model.any(random_)) setKey(base, 0, keyOf(*other, 0));
    base[100 + random_() % 200] = uint8_t(random_());
    return base;
  }
  std::string startValue(int keyNumber, const Model& model) {
    const uint32_t pick = random_() % 10;
    if (pick < 3) return "";
    if (pick < 6)
      if (auto other = model.any(random_)) return keyOf(*other, keyNumber);
    return keyValue();
  }
  int keyNumber() { return random_() % 20 == 0 ? int(random_() % 7) - 1 : int(random_() % 4); }
  uint32_t operator()() { return random_(); }

 private:
  std::mt19937 random_;
};

class ModelRuns : public ::testing::TestWithParam<uint32_t> {};

TEST_P(ModelRuns, BookAndModelAgreeAtEveryStep) {
  ScratchDir dir;
  const std::string path = dir.file("FILE3.DAT");
  Book book;
  ASSERT_EQ(book.create(path), status::Success);
  ASSERT_EQ(book.open(path), status::Success);
  Model model;
  RandomRun run(GetParam());
  int walked = 0;

  for (int step = 0; step < 4000; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    const uint32_t pick = run() % 100;
    Record expected{};
    int16_t want = 0, got = 0;
    int readKey = -1;
    if (pick < 22) {
      const Record r = run.record();
      const int keyNumber = run.keyNumber();
      want = model.insert(r, keyNumber);
      got = book.insert(r, int16_t(keyNumber));
    } else if (pick < 40) {
      const auto current = model.current();
      const Record r = run.changed(current ? *current : run.record(), model);
      want = model.update(r);
      got = book.update(r);
    } else if (pick < 50) {
      want = model.remove();
      got = book.remove();
    } else if (pick < 80) {
      readKey = run.keyNumber();
      want = model.getNext(readKey, expected);
      got = book.getNext(readKey);
      walked += got == 0;
    } else if (pick < 96) {
      readKey = run.keyNumber();
      const std::string start =
          readKey >= 0 && readKey < rm::kKeyCount ? run.startValue(readKey, model) : "";
      want = model.getGreaterOrEqual(readKey, start, expected);
      got = book.getGreaterOrEqual(readKey, start);
    } else {
      const bool keep = pick < 98;
      if (keep) model.close(); else model.discard();
      ASSERT_EQ(keep ? book.close() : book.discard(), status::Success);
      ASSERT_EQ(book.open(path), status::Success);
    }
    ASSERT_EQ(got, want) << "operation pick " << pick;
    if (readKey >= 0 && got == status::Success) {
      ASSERT_EQ(book.data, expected);
      const std::size_t width = kKeyFields[readKey].width;
      ASSERT_EQ(std::string(book.key.begin(), book.key.begin() + width), keyOf(expected, readKey));
    }
    ASSERT_EQ(book.count(), int64_t(model.count()));
  }
  ASSERT_EQ(book.close(), status::Success);
  model.close();
  EXPECT_GT(walked, 100);  // the run did walk, not just fail to

  ASSERT_EQ(book.open(path), status::Success);
  for (int key = 0; key < rm::kKeyCount; ++key) EXPECT_EQ(book.walk(key), model.all(key)) << key;
  EXPECT_EQ(book.close(), status::Success);
  EXPECT_EQ(integrityCheck(path), "ok");
}

INSTANTIATE_TEST_SUITE_P(Seeds, ModelRuns, ::testing::Values(1u, 7u, 1234u, 31337u, 2024063u),
                         [](const auto& info) { return "seed" + std::to_string(info.param); });

}  // namespace
}  // namespace varnok::rmtest
