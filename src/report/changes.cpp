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

// One spooled change: what happened, which parts are there, the entry, and
// the stored entry before and after.
constexpr std::size_t kEventLength = 6 + 2 * kStoredRecordLength;
constexpr uint8_t kHasBefore = 1, kHasAfter = 2;
constexpr std::size_t kFlushAt = 1 << 20;

std::string field00Of(const uint8_t* stored) {
  return std::string(reinterpret_cast<const char*>(stored), gunbook::kGunFields[0].width);
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
  const auto [where, added] =
      entryOfKey_.emplace(field00Of(stored), static_cast<uint32_t>(tracks_.size()));
  if (added) tracks_.push_back(Track{events_, events_});
  return where->second;
}

void SessionChanges::record(Change change, const uint8_t* before, const uint8_t* after) {
  // An entry is followed by its stock number; a rewrite that changes the
  // stock number moves the entry to its new one.
  const uint32_t entry = entryOf(before ? before : after);
  if (before && after && std::memcmp(before, after, gunbook::kGunFields[0].width) != 0) {
    entryOfKey_.erase(field00Of(before));
    entryOfKey_[field00Of(after)] = entry;
  }
  tracks_[entry].last = events_++;
  char head[6] = {static_cast<char>(change),
                  static_cast<char>((before ? kHasBefore : 0) | (after ? kHasAfter : 0))};
  std::memcpy(head + 2, &entry, sizeof entry);
  pending_.append(head, sizeof head);
  static const std::array<char, kStoredRecordLength> kNone{};
  const auto bytes = [&](const uint8_t* stored) {
    return stored ? reinterpret_cast<const char*>(stored) : kNone.data();
  };
  pending_.append(bytes(before), kStoredRecordLength);
  pending_.append(bytes(after), kStoredRecordLength);
  if (pending_.size() >= kFlushAt) flush();
}

void SessionChanges::flush() {
  writeAll(fd_, pending_, "the change spool");
  pending_.clear();
}

void SessionChanges::readEvent(uint64_t number, uint8_t* event) const {
  readAllAt(fd_, event, kEventLength, number * kEventLength, "the change spool");
}

long SessionChanges::writeRows(std::string_view book, int out, Tally& tally) {
  flush();
  std::string rows;
  long count = 0;
  // Read in chunks of whole events; an entry's last event, when it is
  // another, is read on its own.
  constexpr uint64_t kChunkEvents = kFlushAt / kEventLength;
  std::vector<uint8_t> chunk(kChunkEvents * kEventLength), last(kEventLength);
  for (uint64_t number = 0; number < events_; ++number) {
    if (number % kChunkEvents == 0) {
      const uint64_t count = std::min(kChunkEvents, events_ - number);
      readAllAt(fd_, chunk.data(), count * kEventLength, number * kEventLength,
                "the change spool");
    }
    const uint8_t* event = chunk.data() + number % kChunkEvents * kEventLength;
    uint32_t entry;
    std::memcpy(&entry, event + 2, sizeof entry);
    const Track& track = tracks_[entry];
    if (track.first != number) continue;
    const uint8_t* lastEvent = event;
    if (track.last != number) {
      readEvent(track.last, last.data());
      lastEvent = last.data();
    }
    const uint8_t* before = event[1] & kHasBefore ? event + 6 : nullptr;
    const uint8_t* after =
        lastEvent[1] & kHasAfter ? lastEvent + 6 + kStoredRecordLength : nullptr;
    if (!before && !after) continue;  // added and removed again
    auto change = static_cast<Change>(after ? event[0] : lastEvent[0]);
    if (after && change == Change::Removed) change = static_cast<Change>(lastEvent[0]);
    const long entryRows = appendEntryRows(rows, book, change, before, after);
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
