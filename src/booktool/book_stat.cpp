#include "booktool/book_stat.h"

#include <array>

#include "gunbook/book_cursor.h"
#include "gunbook/book_folder.h"
#include "gunbook/date_and_number.h"
#include "recordmanager/book_format.h"
#include "recordmanager/little_endian.h"

namespace varnok::booktool {
using namespace varnok::gunbook;
namespace {

// The field each key is built on, by its index in kGunFields.
constexpr std::array<std::size_t, rm::kKeyCount> kKeyField = {0, 4, 1, 3};

// Walks one key from a blank start value; adds what is wrong to `problems`.
void walkKey(rm::RecordManager& manager, BookCursor& cursor, int key, uint32_t expected,
             std::vector<std::string>& problems) {
  const GunField& field = kGunFields[kKeyField[key]];
  const std::string name = "key " + std::to_string(key) + " (" + field.name + ")";
  cursor.KeyBuffer.assign(field.width, ' ');
  cursor.KeyNumber = static_cast<int16_t>(key);
  uint32_t seen = 0;
  std::string previous;
  int16_t status = cursor.call(manager, rm::op::GetGreaterOrEqual);
  for (; status == 0; status = cursor.call(manager, rm::op::GetNext)) {
    const StoredRecord stored = toStored(cursor.Record);
    std::string value(reinterpret_cast<const char*>(stored.data()) + field.offset, field.width);
    if (seen > 0 && (value < previous || (key == 0 && value == previous))) {
      problems.push_back(name + ": entry " + std::to_string(seen + 1) + " is out of order");
      return;
    }
    previous = std::move(value);
    if (++seen > expected) break;
  }
  if (status != 0 && status != rm::status::EndOfFile) {
    problems.push_back(name + ": reading stopped at entry " + std::to_string(seen + 1) + ": " +
                       statusPhrase(status));
  } else if (seen > expected) {
    problems.push_back(name + ": the walk meets more entries than the " +
                       std::to_string(expected) + " Stat counts");
  } else if (seen < expected) {
    problems.push_back(name + ": the walk meets " + std::to_string(seen) +
                       " entries; Stat counts " + std::to_string(expected));
  }
}

}  // namespace

std::string BookReport::text() const {
  std::string out = "book: " + path + "\n";
  out += "format version: " + std::to_string(formatVersion) + "\n";
  out += "entries: " + std::to_string(entries) + "\n";
  out += "record length: " + std::to_string(recordLength) + ", page size: " +
         std::to_string(pageSize) + ", keys: " + std::to_string(keys) + "\n";
  if (integrityProblems.empty()) {
    out += "integrity: ok\n";
  } else {
    out += "integrity: FAILED\n";
    for (const std::string& problem : integrityProblems) out += "  " + problem + "\n";
  }
  return out;
}

ToolOutcome statBook(rm::RecordManager& manager, std::string_view typedFolder,
                     BookReport& report) {
  report = BookReport{};
  report.path = bookPath(typedFolder);
  if (const std::string problem = folderLengthProblem(typedFolder); !problem.empty())
    return ToolOutcome::refused("book " + report.path + ": " + problem);
  BookCursor cursor;
  cursor.KeyBuffer = bookFileKey(normaliseFolder(typedFolder));
  cursor.KeyNumber = 0;
  if (const int16_t status = cursor.call(manager, rm::op::Open); status != 0) {
    return ToolOutcome::refused("book " + report.path + ": cannot open: " + statusPhrase(status));
  }
  // Open refuses a book of any other format version, so an open book is of this one.
  report.formatVersion = rm::kFormatVersion;

  cursor.KeyBuffer.assign(rm::kKeyBufferLength, ' ');
  cursor.KeyNumber = -1;
  if (const int16_t status = cursor.call(manager, rm::op::Stat); status != 0) {
    report.integrityProblems.push_back("Stat failed: " + statusPhrase(status));
  } else {
    const auto& stat = cursor.StatBuffer;
    report.recordLength = static_cast<uint16_t>(rm::readLittleEndian<2>(stat.data()));
    report.pageSize = static_cast<uint16_t>(rm::readLittleEndian<2>(stat.data() + 2));
    report.keys = stat[4];
    report.entries = static_cast<uint32_t>(int32FromLittleEndian(stat.data() + 6));
    if (report.recordLength != kStoredRecordLength) {
      report.integrityProblems.push_back("record length " + std::to_string(report.recordLength) +
                                         ", not " + std::to_string(kStoredRecordLength));
    }
    if (report.keys != rm::kKeyCount) {
      report.integrityProblems.push_back(std::to_string(report.keys) + " keys, not " +
                                         std::to_string(rm::kKeyCount));
    }
    for (int key = 0; key < rm::kKeyCount; ++key) {
      walkKey(manager, cursor, key, report.entries, report.integrityProblems);
    }
  }
  // Nothing was changed; dropping the session leaves the file untouched.
  cursor.call(manager, rm::op::Discard);
  if (!report.integrityProblems.empty()) {
    return ToolOutcome::refused("book " + report.path + ": integrity check failed: " +
                                report.integrityProblems.front());
  }
  return {};
}

}  // namespace varnok::booktool
