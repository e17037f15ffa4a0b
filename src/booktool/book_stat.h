// What the book tool tells about one book: where it is, its format, how many
// entries it holds, and whether it holds together.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "booktool/book_tool.h"
#include "recordmanager/record_manager.h"

namespace varnok::booktool {
using namespace varnok::gunbook;

struct BookReport {
  std::string path;
  int32_t formatVersion = 0;
  uint32_t entries = 0;      // the Stat count
  uint16_t recordLength = 0;
  uint16_t pageSize = 0;
  uint8_t keys = 0;
  // Empty when the book holds together: the record manager opened it (which
  // checks the file's identity, version and every entry's checksum), Stat
  // gives the gun record's length and four keys, and a walk of each key
  // meets every entry once, in order, with key 0 unique.
  std::vector<std::string> integrityProblems;

  // The lines `book stat` prints, each ended by a line feed.
  std::string text() const;
};

// Opens the book, reads Stat, walks every key and closes it again without a
// change. Refused when the book cannot be opened; a book that opens but
// fails the walk gives a report with its problems (and ok = false).
ToolOutcome statBook(rm::RecordManager& manager, std::string_view typedFolder,
                     BookReport& report);

}  // namespace varnok::booktool
