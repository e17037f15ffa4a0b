// The book engine: checks each call's arguments, finds the open book its
// position block names, and hands the call to that book's session.
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <random>
#include <vector>

#include "recordmanager/book_path.h"
#include "recordmanager/book_session.h"
#include "recordmanager/little_endian.h"
#include "recordmanager/position_block.h"
#include "recordmanager/record_manager.h"

namespace varnok::rm {
namespace {

class BookEngine final : public RecordManager {
 public:
  BookEngine() {
    // Session ids start at a random point, so that a block left over from
    // another run (or made up) does not name a session of this one.
    std::random_device random;
    nextSession_ = uint64_t(random()) << 32 ^ random();
    // A session takes its memory in many small pieces and gives all of it
    // back when it ends. The C library would hand the freed heap back to
    // the system at once, and every Open would then pay again for fresh,
    // zeroed pages (a quarter of a conversion's processor time, for its
    // four sessions). Kept in the process, the next session reuses it; the
    // peak stays that of the largest session.
    ::mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
  }

  // The open book the block names; null when it names none.
  BookSession* bookOf(const void* block) {
    BlockHandle handle;
    Position position;
    return find(block, handle, position);
  }

  // The registered observer, or null.
  BookObserver* observer = nullptr;

  void hold() { ++holds_; }
  void endHold() {
    if (--holds_ == 0) held_.clear();
  }

  int16_t call(uint16_t operation, void* positionBlock, void* dataBuffer, uint16_t* dataLength,
               void* keyBuffer, uint16_t keyLength, int16_t keyNumber) override {
    try {
      return dispatch(operation, positionBlock, static_cast<uint8_t*>(dataBuffer), dataLength,
                      static_cast<uint8_t*>(keyBuffer), keyLength, keyNumber);
    } catch (const std::bad_alloc&) {
      // Out of memory part-way through a change may have left the book's
      // indexes half-done: from now on the session can only be discarded,
      // so that no half-done change reaches the file.
      BlockHandle handle;
      Position position;
      if (find(positionBlock, handle, position) != nullptr) slots_[handle.slot].broken = true;
      return status::IoError;
    }
  }

 private:
  struct Slot {
    uint64_t session = 0;
    std::unique_ptr<BookSession> book;
    bool broken = false;
  };

  int16_t dispatch(uint16_t operation, void* block, uint8_t* data, uint16_t* dataLength,
                   uint8_t* key, uint16_t keyLength, int16_t keyNumber) {
    switch (operation) {
      case op::Create:
        return BookFile::create(bookFilePath(reinterpret_cast<const char*>(key), keyLength));
      case op::Open: return open(block, key, keyLength);
      case op::Close:
      case op::Discard:
      case op::Insert:
      case op::Update:
      case op::Delete:
      case op::GetNext:
      case op::GetGreaterOrEqual:
      case op::Stat: break;
      default: return status::InvalidOperation;
    }
    BlockHandle handle;
    Position position;
    BookSession* book = find(block, handle, position);
    if (book == nullptr) return status::FileNotOpen;
    if (slots_[handle.slot].broken && operation != op::Discard) return status::IoError;

    int16_t result = status::Success;
    switch (operation) {
      case op::Close:
      case op::Discard:
        if (holds_ > 0 && !book->changed()) {
          held_.push_back(std::move(slots_[handle.slot].book));
        } else if (operation == op::Close) {
          const std::function<int16_t()> gate = [this, block] {
            return observer->committing(block);
          };
          result = book->commit(CommitHooks{observer != nullptr ? &gate : nullptr});
          if (result != status::Success) return result;
        }
        release(handle.slot);
        return status::Success;
      case op::Stat: return stat(*book, data, dataLength);
      case op::Insert:
      case op::Update:
      case op::Delete: {
        if (operation != op::Delete &&
            (data == nullptr || dataLength == nullptr || *dataLength != kRecordLength))
          return status::DataBufferLength;
        // The entry as it was, for the observer: the change overwrites it.
        std::array<uint8_t, kRecordLength> before;
        const bool watched = observer != nullptr && operation != op::Insert;
        const uint8_t* now = watched ? book->currentData(position) : nullptr;
        if (now != nullptr) std::copy_n(now, kRecordLength, before.begin());
        result = operation == op::Insert   ? book->insert(position, data, keyNumber)
                 : operation == op::Update ? book->update(position, data)
                                           : book->remove(position);
        if (result == status::Success && observer != nullptr)
          observer->changed(block, now != nullptr ? before.data() : nullptr,
                            operation == op::Delete ? nullptr : data);
        break;
      }
      default: {  // Get Next, Get Greater or Equal
        if (keyNumber < 0 || keyNumber >= kKeyCount) return status::InvalidKeyNumber;
        if (data == nullptr || dataLength == nullptr || *dataLength < kRecordLength)
          return status::DataBufferLength;
        const std::size_t length = kKeyPlaces[keyNumber].length;
        if (key == nullptr || keyLength < length) return status::KeyBufferTooShort;
        result = operation == op::GetNext
                     ? book->getNext(position, keyNumber, data)
                     : book->getGreaterOrEqual(position, keyNumber, key, data);
        if (result == status::Success) {
          *dataLength = kRecordLength;
          std::memcpy(key, position.keyBytes.data(), length);
        }
      }
    }
    writePositionBlock(block, handle, position);
    return result;
  }

  int16_t open(void* block, const uint8_t* key, uint16_t keyLength) {
    if (block == nullptr) return status::FileNotOpen;
    BlockHandle handle;
    Position position;
    // Opening over a block that still holds an open book would lose that
    // book's session, and with it the book's lock, for good.
    if (find(block, handle, position) != nullptr) return status::FileLocked;
    const std::string path = bookFilePath(reinterpret_cast<const char*>(key), keyLength);
    if (path.empty()) return status::InvalidFileName;
    // One session per book: a second one would wait on the first's lock
    // forever, since both are in this thread.
    if (const auto id = fileIdentity(path)) {
      for (const Slot& slot : slots_)
        if (slot.book && slot.book->fileId() == *id) return status::FileLocked;
    }
    std::unique_ptr<BookSession> book = takeHeld(path);
    if (!book) {
      if (int16_t result = BookSession::open(path, book)) return result;
    }

    std::size_t free = 0;
    while (free < slots_.size() && slots_[free].book) ++free;
    if (free == slots_.size()) slots_.emplace_back();
    slots_[free].book = std::move(book);
    slots_[free].session = nextSession_++;
    writePositionBlock(block, BlockHandle{uint32_t(free), slots_[free].session}, Position{});
    return status::Success;
  }

  // The book a hold kept, when the path still names that very file and the
  // file is still one Open would accept the path of.
  std::unique_ptr<BookSession> takeHeld(const std::string& path) {
    struct stat st;
    if (held_.empty() || BookFile::reachable(path, st) != status::Success) return nullptr;
    for (auto it = held_.begin(); it != held_.end(); ++it) {
      if ((*it)->fileId() != fileIdentity(st)) continue;
      std::unique_ptr<BookSession> book = std::move(*it);
      held_.erase(it);
      // Changed by someone else meanwhile: read afresh.
      if (book->retake() != status::Success) return nullptr;
      return book;
    }
    return nullptr;
  }

  static int16_t stat(const BookSession& book, uint8_t* data, uint16_t* dataLength) {
    if (data == nullptr || dataLength == nullptr || *dataLength < kStatBufferLength)
      return status::DataBufferLength;
    std::memset(data, 0, kStatBufferLength);
    writeLittleEndian<2>(data, kRecordLength);
    writeLittleEndian<2>(data + 2, uint32_t(book.pageSize()));
    data[4] = uint8_t(kKeyCount);
    writeLittleEndian<4>(data + 6, book.count());
    *dataLength = kStatBufferLength;
    return status::Success;
  }

  BookSession* find(const void* block, BlockHandle& handle, Position& position) {
    if (block == nullptr || !readPositionBlock(block, handle, position)) return nullptr;
    if (handle.slot >= slots_.size()) return nullptr;
    Slot& slot = slots_[handle.slot];
    return slot.book && slot.session == handle.session ? slot.book.get() : nullptr;
  }

  void release(uint32_t slot) {
    slots_[slot] = Slot{};
  }

  std::vector<Slot> slots_;
  uint64_t nextSession_;
  // Books closed unchanged while a hold lasts: open, locked, loaded.
  std::vector<std::unique_ptr<BookSession>> held_;
  int holds_ = 0;
};

BookEngine& engine() {
  // Destroyed at exit: a book still open then is closed without its changes,
  // as if the process had died.
  static BookEngine engine;
  return engine;
}

}  // namespace

RecordManager& bookEngine() { return engine(); }

bool saveCutShortBeside(const std::string& bookFile) {
  // SQLite rolls back a journal that is there and does not begin with a
  // zero byte; one emptied or zeroed by a commit that finished is not.
  const int fd = ::open((bookFile + "-journal").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  unsigned char first = 0;
  const bool hot = ::pread(fd, &first, 1, 0) == 1 && first != 0;
  ::close(fd);
  return hot;
}

// For book_bytes.cpp: the open book's bytes through its session's handle.
int16_t readOpenBook(const void* positionBlock,
                     const std::function<void(const uint8_t*, std::size_t)>& take) {
  BookSession* book = engine().bookOf(positionBlock);
  return book == nullptr ? status::FileNotOpen : book->readFile(take);
}

BookObservation::BookObservation(BookObserver& observer) : outer_(engine().observer) {
  engine().observer = &observer;
}
BookObservation::~BookObservation() { engine().observer = outer_; }

BookHold::BookHold() { engine().hold(); }
BookHold::~BookHold() { engine().endHold(); }

}  // namespace varnok::rm

extern "C" int16_t BTRCALL(uint16_t operation, void* positionBlock, void* dataBuffer,
                           uint16_t* dataLength, void* keyBuffer, uint16_t keyLength,
                           int16_t keyNumber) {
  return varnok::rm::bookEngine().call(operation, positionBlock, dataBuffer, dataLength,
                                       keyBuffer, keyLength, keyNumber);
}
