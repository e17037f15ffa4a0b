#include "reportfolder/changes.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>

#include "booktool/book_csv.h"
#include "booktool/csv.h"
#include "reportfolder/file_io.h"

namespace varnok::reportfolder {
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
constexpr std::size_t kFlushAt = 256 * 1024;

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

// Which field each stored byte belongs to; kNoField for the filler.
constexpr uint8_t kNoField = 0xFF;
const std::array<uint8_t, kStoredRecordLength>& fieldOfByte() {
  static const auto field = [] {
    std::array<uint8_t, kStoredRecordLength> field{};
    field.fill(kNoField);
    for (std::size_t i = 0; i < gunbook::kGunFields.size(); ++i)
      for (std::size_t b = 0; b < gunbook::kGunFields[i].width; ++b)
        field[gunbook::kGunFields[i].offset + b] = static_cast<uint8_t>(i);
    return field;
  }();
  return field;
}
static_assert(gunbook::kGunFields.size() <= 32 && kStoredRecordLength % 8 == 0);

// The fields whose stored bytes differ, field i as bit i; every field of an
// entry added or removed.
uint32_t differingFields(const uint8_t* before, const uint8_t* after) {
  if (!before || !after) return uint32_t((uint64_t(1) << gunbook::kGunFields.size()) - 1);
  const auto& fieldOf = fieldOfByte();
  uint32_t fields = 0;
  for (std::size_t at = 0; at < kStoredRecordLength; at += 8) {
    uint64_t a, b;
    std::memcpy(&a, before + at, 8);
    std::memcpy(&b, after + at, 8);
    if (a == b) continue;
    for (std::size_t i = at; i < at + 8; ++i)
      if (before[i] != after[i] && fieldOf[i] != kNoField) fields |= uint32_t(1) << fieldOf[i];
  }
  return fields;
}

}  // namespace

// The cells every row of an entry begins with but its stock number: the
// book's, and the change's.
struct RowCells {
  explicit RowCells(std::string_view book) : book(cell(book)) {
    for (std::size_t i = 0; i < kChangeKinds; ++i) change[i] = cell(changeName(Change(i)));
    for (std::size_t i = 0; i < gunbook::kGunFields.size(); ++i)
      field[i] = cell(gunbook::kGunFields[i].name);
    wholeEntry = cell(kWholeEntry);
  }
  // A value as a cell of a row, with the comma that ends it.
  static std::string cell(std::string_view value) {
    std::string text;
    booktool::csv::appendField(text, value);
    return text + ',';
  }

  std::string book;
  std::array<std::string, kChangeKinds> change;
  std::array<std::string, gunbook::kGunFields.size()> field;
  std::string wholeEntry;
};

namespace {

bool looksLikeFormula(char lead) {
  return lead == '=' || lead == '+' || lead == '-' || lead == '@' || lead == '\t' || lead == '\r';
}

// A field of an entry as a cell, after an apostrophe when a spreadsheet
// would run it as a formula.
void appendSafeCell(std::string& out, const uint8_t* entry, std::size_t field) {
  const std::size_t start = out.size();
  booktool::appendBookCsvField(out, entry, field);
  const std::size_t lead = start + (out.size() > start && out[start] == '"' ? 1 : 0);
  if (lead < out.size() && looksLikeFormula(out[lead])) out.insert(lead, 1, '\'');
}

// The rows of one entry: one holding it whole when it was added or
// removed, else one for each of `fields` (differingFields). `head` is room
// for what every row begins with. Returns how many.
long appendEntryRows(std::string& out, std::string& head, const RowCells& cells, Change change,
                     const uint8_t* before, const uint8_t* after, uint32_t fields) {
  // book, Field00, change
  head = cells.book;
  appendSafeCell(head, before ? before : after, 0);
  head += ',';
  head += cells.change[static_cast<std::size_t>(change)];
  if (!before || !after) {
    std::string line;
    appendEntryLine(line, before ? before : after);
    out += head;
    out += cells.wholeEntry;
    if (!before) out += ',';
    booktool::csv::appendField(out, line);
    if (before) out += ',';
    out += booktool::csv::kLineEnd;
    return 1;
  }
  long rows = 0;
  // Stored bytes that differ make values that differ, and the other way.
  for (; fields != 0; fields &= fields - 1) {
    const auto i = static_cast<std::size_t>(__builtin_ctz(fields));
    out += head;
    out += cells.field[i];
    if (before) appendSafeCell(out, before, i);
    out += ',';
    if (after) appendSafeCell(out, after, i);
    out += booktool::csv::kLineEnd;
    ++rows;
  }
  return rows;
}

}  // namespace

void appendEntryLine(std::string& out, const uint8_t* stored) {
  const std::size_t start = out.size();
  for (std::size_t i = 0; i < gunbook::kGunFields.size(); ++i) {
    if (i != 0) out += ',';
    booktool::appendBookCsvField(out, stored, i);
  }
  // Such a first value holds no quote, comma or line end (the export
  // would have quoted it): it ends at the first comma.
  if (looksLikeFormula(out[start])) {
    out.insert(out.find(',', start), 1, '"');
    out.insert(start, 1, '"');
  }
}

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

SessionChanges::SessionChanges(const ReportDir& folder, std::string book, std::size_t entries)
    : cells_(std::make_unique<RowCells>(book)) {
  try {
    entryOfKey_.reserve(entries);
  } catch (const std::bad_alloc&) {
    // Only a head start: the index grows as it needs.
  }
  fd_ = folder.createUnnamed();
  try {
    rowsFd_ = folder.createUnnamed();
  } catch (...) {
    ::close(fd_);
    throw;
  }
}

SessionChanges::~SessionChanges() {
  ::close(fd_);
  ::close(rowsFd_);
}

void SessionChanges::record(Change change, const uint8_t* before, const uint8_t* after) noexcept {
  if (failure_) return;
  try {
    take(change, before, after);
  } catch (...) {
    failure_ = std::current_exception();
  }
}

uint32_t SessionChanges::entryOf(const uint8_t* stored) {
  const auto [at, added] = entryOfKey_.try_emplace(
      std::string(reinterpret_cast<const char*>(stored), gunbook::kGunFields[0].width),
      static_cast<uint32_t>(tracks_.size()));
  if (added) tracks_.push_back(Track{spooled_, spooled_});
  return at->second;
}

void SessionChanges::take(Change change, const uint8_t* before, const uint8_t* after) {
  // An entry is followed by its stock number; a rewrite that changes the
  // stock number moves the entry to its new one.
  const uint32_t entry = entryOf(before ? before : after);
  if (before && after && std::memcmp(before, after, gunbook::kGunFields[0].width) != 0) {
    const std::size_t width = gunbook::kGunFields[0].width;
    entryOfKey_.erase(std::string(reinterpret_cast<const char*>(before), width));
    entryOfKey_[std::string(reinterpret_cast<const char*>(after), width)] = entry;
  }
  tracks_[entry].last = spooled_;
  // Its rows as the entry's only event: what nearly every entry is.
  const uint32_t fields = differingFields(before, after);
  const std::size_t rowsStart = pendingRows_.size();
  const long rows = appendEntryRows(pendingRows_, head_, *cells_, change, before, after, fields);
  events_.push_back(Event{spooled_, rowsSpooled_,
                          static_cast<uint32_t>(pendingRows_.size() - rowsStart),
                          static_cast<uint32_t>(rows), entry, change});
  rowsSpooled_ += pendingRows_.size() - rowsStart;

  const std::size_t start = pending_.size();
  pending_.resize(start + kHeadLength);
  const auto append = [&](const uint8_t* bytes, std::size_t length) {
    pending_.append(reinterpret_cast<const char*>(bytes), length);
  };
  if (before) append(before, kStoredRecordLength);
  if (after && !before) append(after, kStoredRecordLength);
  for (uint32_t changed = after && before ? fields : 0; changed != 0; changed &= changed - 1) {
    const auto i = static_cast<uint8_t>(__builtin_ctz(changed));
    const gunbook::GunField& field = gunbook::kGunFields[i];
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
  if (pending_.size() >= kFlushAt || pendingRows_.size() >= kFlushAt) flush();
}

void SessionChanges::flush() {
  writeAll(fd_, pending_, "the change spool");
  pending_.clear();
  writeAll(rowsFd_, pendingRows_, "the change spool");
  pendingRows_.clear();
}

void SessionChanges::readEvent(uint64_t offset, uint8_t* event) const {
  readAllAt(fd_, event, kHeadLength, offset, "the change spool");
  const EventHead head = headOf(event);
  readAllAt(fd_, event + kHeadLength, head.length - kHeadLength, offset + kHeadLength,
            "the change spool");
}

void SessionChanges::copyRows(int out, uint64_t from, uint64_t length) {
  std::vector<char> chunk(std::min<uint64_t>(length, kFlushAt));
  while (length > 0) {
    const std::size_t part = std::min<uint64_t>(length, chunk.size());
    readAllAt(rowsFd_, chunk.data(), part, from, "the change spool");
    writeAll(out, std::string_view(chunk.data(), part), "changes.csv");
    from += part;
    length -= part;
  }
}

long SessionChanges::writeRows(int out, Tally& tally) {
  if (failure_) std::rethrow_exception(failure_);
  flush();
  long count = 0;
  // Runs of rows made beforehand that lie one after another in the spool.
  uint64_t runAt = 0, runLength = 0;
  const auto endRun = [&] {
    if (runLength > 0) copyRows(out, runAt, runLength);
    runLength = 0;
  };
  std::vector<uint8_t> first(kLongestEvent), last(kLongestEvent);
  gunbook::StoredRecord after;
  std::string rows;
  for (const Event& event : events_) {
    const Track& track = tracks_[event.entry];
    if (track.first != event.spoolAt) continue;  // a later event of its entry
    if (track.last == event.spoolAt) {
      if (runLength > 0 && runAt + runLength == event.rowsAt) {
        runLength += event.rowsLength;
      } else {
        endRun();
        runAt = event.rowsAt;
        runLength = event.rowsLength;
      }
      if (event.rows > 0) ++tally[static_cast<std::size_t>(event.change)];
      count += event.rows;
      continue;
    }
    // Changed more than once: from its first state to its last.
    endRun();
    readEvent(track.first, first.data());
    readEvent(track.last, last.data());
    const EventHead head = headOf(first.data());
    const uint8_t* before = head.flags & kHasBefore ? first.data() + kHeadLength : nullptr;
    const bool kept = afterOf(last.data(), after);
    if (!before && !kept) continue;  // added and removed again
    Change change = kept ? head.change : headOf(last.data()).change;
    if (kept && change == Change::Removed) change = headOf(last.data()).change;
    rows.clear();
    const uint8_t* lastState = kept ? after.data() : nullptr;
    const long entryRows = appendEntryRows(rows, head_, *cells_, change, before, lastState,
                                           differingFields(before, lastState));
    if (entryRows > 0) ++tally[static_cast<std::size_t>(change)];
    count += entryRows;
    writeAll(out, rows, "changes.csv");
  }
  endRun();
  return count;
}

ChangesFile::ChangesFile(const ReportDir& folder) : path_(folder.path() / "changes.csv") {
  fd_ = folder.createFile("changes.csv", O_WRONLY);
  const std::string header = "book,Field00,change,field,before,after\r\n";
  writeAll(fd_, header, path_.string());
  size_ = sizeBeforeLast_ = header.size();
}

ChangesFile::~ChangesFile() {
  if (fd_ >= 0) ::close(fd_);
}

void ChangesFile::add(SessionChanges& changes, Tally& tally) {
  sizeBeforeLast_ = size_;
  rowsBeforeLast_ = rows_;
  try {
    rows_ += changes.writeRows(fd_, tally);
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
    // The cut gave back the room set aside past the end: take it again.
    if (reservedTo_ > size_) {
      const uint64_t room = reservedTo_ - size_;
      reservedTo_ = size_;
      reserve(room);
    }
  }
}

bool ChangesFile::reserve(uint64_t bytes) {
  if (bytes == 0) return true;
  if (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(size_), static_cast<off_t>(bytes)) !=
      0)
    return false;
  reservedTo_ = std::max(reservedTo_, size_ + bytes);
  return true;
}

void ChangesFile::release() noexcept {
  // A cut frees what lies past the new end, room set aside included; the
  // file grows by a byte first, as a cut to its own length may do nothing.
  if (reservedTo_ > size_ && ::ftruncate(fd_, static_cast<off_t>(size_ + 1)) == 0)
    (void)::ftruncate(fd_, static_cast<off_t>(size_));
  reservedTo_ = 0;
}

}  // namespace varnok::reportfolder
