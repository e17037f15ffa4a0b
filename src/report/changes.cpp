#include "report/changes.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "booktool/book_csv.h"
#include "booktool/csv.h"
#include "report/file_io.h"

namespace varnok::report {
namespace {

using gunbook::kStoredRecordLength;

// One spooled change: what happened, which parts are there, the event's
// length, the entry; then the stored entry before, if any, and after, if
// any: whole when there is no before, else as the fields that differ from
// it, each its index and its bytes.
constexpr std::size_t kHeadLength = 8;
constexpr std::size_t kLongestEvent =
    kHeadLength + kStoredRecordLength + gunbook::kGunFields.size() + kStoredRecordLength;
constexpr uint8_t kHasBefore = 1, kHasAfter = 2;
constexpr std::size_t kFlushAt = 1 << 20;

struct EventHead {
  Change change;
  uint8_t flags;
  uint16_t length;
  uint32_t entry;
};

EventHead headOf(const uint8_t* event) {
  EventHead head{static_cast<Change>(event[0]), event[1], 0, 0};
  std::memcpy(&head.length, event + 2, sizeof head.length);
  std::memcpy(&head.entry, event + 4, sizeof head.entry);
  return head;
}

// The entry after the event, into `after`; false when it was removed.
bool afterOf(const uint8_t* event, gunbook::StoredRecord& after) {
  const EventHead head = headOf(event);
  if (!(head.flags & kHasAfter)) return false;
  // The whole entry, or the entry before that the fields below change.
  const uint8_t* at = event + kHeadLength;
  std::memcpy(after.data(), at, kStoredRecordLength);
  if (!(head.flags & kHasBefore)) return true;
  for (at += kStoredRecordLength; at < event + head.length;) {
    const gunbook::GunField& field = gunbook::kGunFields[*at++];
    std::memcpy(after.data() + field.offset, at, field.width);
    at += field.width;
  }
  return true;
}

// The rows of one entry: every field that differs, or every field when the
// entry was added or removed. Returns how many.
long appendEntryRows(std::string& out, std::string_view book, Change change,
                     const uint8_t* before, const uint8_t* after) {
  // What every row of the entry begins with: book, Field00, change.
  std::string head;
  booktool::csv::appendField(head, book);
  head += ',';
  booktool::appendBookCsvField(head, before ? before : after, 0);
  head += ',';
  booktool::csv::appendField(head, changeName(change));
  head += ',';
  long rows = 0;
  for (std::size_t i = 0; i < gunbook::kGunFields.size(); ++i) {
    // Stored bytes that differ make values that differ, and the other way.
    const gunbook::GunField& field = gunbook::kGunFields[i];
    if (before && after &&
        std::memcmp(before + field.offset, after + field.offset, field.width) == 0)
      continue;
    out += head;
    out += field.name;
    out += ',';
    if (before) booktool::appendBookCsvField(out, before, i);
    out += ',';
    if (after) booktool::appendBookCsvField(out, after, i);
    out += booktool::csv::kLineEnd;
    ++rows;
  }
  return rows;
}

}  // namespace

const char* changeName(Change change) {
  static constexpr const char* kNames[kChangeKinds] = {
      "removed",        "handed over", "carried over", "transferred out",
      "transferred in", "imported",    "rewritten",    "added"};
  return kNames[static_cast<std::size_t>(change)];
}

std::string tallyText(const Tally& tally) {
  std::string text;
  for (std::size_t i = 0; i < kChangeKinds; ++i) {
    if (tally[i] == 0) continue;
    if (!text.empty()) text += ", ";
    text += std::to_string(tally[i]) + " " + changeName(static_cast<Change>(i));
  }
  return text.empty() ? "no changes" : text;
}

SessionChanges::SessionChanges(const std::filesystem::path& folder) {
  fd_ = openUnnamedFile(folder);
}

SessionChanges::~SessionChanges() {
  if (fd_ >= 0) ::close(fd_);
}

uint32_t SessionChanges::entryOf(const uint8_t* stored) {
  const auto [entry, added] = entryOfKey_.findOrAdd(stored, static_cast<uint32_t>(tracks_.size()));
  if (added) tracks_.push_back(Track{spooled_, spooled_});
  return entry;
}

void SessionChanges::record(Change change, const uint8_t* before, const uint8_t* after) {
  // An entry is followed by its stock number; a rewrite that changes the
  // stock number moves the entry to its new one.
  const uint32_t entry = entryOf(before ? before : after);
  if (before && after && std::memcmp(before, after, gunbook::kGunFields[0].width) != 0) {
    entryOfKey_.erase(before);
    entryOfKey_.set(after, entry);
  }
  tracks_[entry].last = spooled_;
  const std::size_t start = pending_.size();
  pending_.resize(start + kHeadLength);
  const auto append = [&](const uint8_t* bytes, std::size_t length) {
    pending_.append(reinterpret_cast<const char*>(bytes), length);
  };
  if (before) append(before, kStoredRecordLength);
  if (after && !before) append(after, kStoredRecordLength);
  for (uint8_t i = 0; after && before && i < gunbook::kGunFields.size(); ++i) {
    const gunbook::GunField& field = gunbook::kGunFields[i];
    if (std::memcmp(before + field.offset, after + field.offset, field.width) == 0) continue;
    pending_ += static_cast<char>(i);
    append(after + field.offset, field.width);
  }
  const auto length = static_cast<uint16_t>(pending_.size() - start);
  char* head = pending_.data() + start;
  head[0] = static_cast<char>(change);
  head[1] = static_cast<char>((before ? kHasBefore : 0) | (after ? kHasAfter : 0));
  std::memcpy(head + 2, &length, sizeof length);
  std::memcpy(head + 4, &entry, sizeof entry);
  spooled_ += length;
  if (pending_.size() >= kFlushAt) flush();
}

void SessionChanges::flush() {
  writeAll(fd_, pending_, "the change spool");
  pending_.clear();
}

void SessionChanges::readEvent(uint64_t offset, uint8_t* event) const {
  readAllAt(fd_, event, kHeadLength, offset, "the change spool");
  const EventHead head = headOf(event);
  readAllAt(fd_, event + kHeadLength, head.length - kHeadLength, offset + kHeadLength,
            "the change spool");
}

long SessionChanges::writeRows(std::string_view book, int out, Tally& tally) {
  flush();
  std::string rows;
  long count = 0;
  // Read in chunks; an entry's last event, when it is another, on its own.
  std::vector<uint8_t> chunk(kFlushAt + kLongestEvent), last(kLongestEvent);
  uint64_t chunkStart = 0, chunkEnd = 0;
  gunbook::StoredRecord after;
  for (uint64_t offset = 0; offset < spooled_;) {
    if (offset + kLongestEvent > chunkEnd && chunkEnd < spooled_) {
      chunkStart = offset;
      chunkEnd = std::min<uint64_t>(spooled_, offset + chunk.size());
      readAllAt(fd_, chunk.data(), chunkEnd - chunkStart, chunkStart, "the change spool");
    }
    const uint8_t* event = chunk.data() + (offset - chunkStart);
    const EventHead head = headOf(event);
    const Track& track = tracks_[head.entry];
    const uint64_t here = offset;
    offset += head.length;
    if (track.first != here) continue;
    const uint8_t* lastEvent = event;
    if (track.last != here) {
      readEvent(track.last, last.data());
      lastEvent = last.data();
    }
    const uint8_t* before = head.flags & kHasBefore ? event + kHeadLength : nullptr;
    const bool kept = afterOf(lastEvent, after);
    if (!before && !kept) continue;  // added and removed again
    Change change = kept ? head.change : headOf(lastEvent).change;
    if (kept && change == Change::Removed) change = headOf(lastEvent).change;
    const long entryRows =
        appendEntryRows(rows, book, change, before, kept ? after.data() : nullptr);
    if (entryRows > 0) ++tally[static_cast<std::size_t>(change)];
    count += entryRows;
    if (rows.size() >= kFlushAt) {
      writeAll(out, rows, "changes.csv");
      rows.clear();
    }
  }
  writeAll(out, rows, "changes.csv");
  return count;
}

ChangesFile::ChangesFile(const std::filesystem::path& folder) : path_(folder / "changes.csv") {
  fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd_ < 0)
    throw std::system_error(errno, std::generic_category(), "cannot make " + path_.string());
  const std::string header = "book,Field00,change,field,before,after\r\n";
  writeAll(fd_, header, path_.string());
  size_ = sizeBeforeLast_ = header.size();
}

ChangesFile::~ChangesFile() {
  if (fd_ >= 0) ::close(fd_);
}

void ChangesFile::add(SessionChanges& changes, std::string_view book, Tally& tally) {
  sizeBeforeLast_ = size_;
  rowsBeforeLast_ = rows_;
  try {
    rows_ += changes.writeRows(book, fd_, tally);
    if (::fsync(fd_) != 0)
      throw std::system_error(errno, std::generic_category(), "cannot write " + path_.string());
    size_ = static_cast<uint64_t>(::lseek(fd_, 0, SEEK_END));
  } catch (...) {
    takeBack();
    throw;
  }
}

void ChangesFile::takeBack() {
  if (::ftruncate(fd_, static_cast<off_t>(sizeBeforeLast_)) == 0) {
    ::lseek(fd_, 0, SEEK_END);
    size_ = sizeBeforeLast_;
    rows_ = rowsBeforeLast_;
  }
}

}  // namespace varnok::report
