// The book tool's requests on one book: create it, fill it from CSV, write
// it out as CSV, report on it. Each goes through a record manager the way
// the conversion does (the folder as typed, normalised, FILE3.DAT in it) and
// returns what it came to; a refused request leaves the book as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gunbook/book_folder.h"
#include "gunbook/gun_record.h"
#include "recordmanager/record_manager.h"

namespace varnok::booktool {
using namespace varnok::gunbook;

struct ToolOutcome {
  bool ok = true;
  std::string problem;  // one line: what is wrong and where

  static ToolOutcome refused(std::string problem) { return {false, std::move(problem)}; }
};

// Makes the folder when it is missing, then an empty book in it. Refused
// when a book (or any file) FILE3.DAT is already there.
ToolOutcome createBook(rm::RecordManager& manager, std::string_view typedFolder);

// Adds every entry of a CSV file (see book_csv.h) in one session: the file
// is checked whole before the book is opened, and if the book refuses any
// entry (a Field00 it already holds, say) every change is discarded.
// csvName names the file in messages. The text is let go of once every
// entry is in the session, before the Close, so that the file and the
// book's saving are never held at once.
ToolOutcome importBook(rm::RecordManager& manager, std::string_view typedFolder,
                       std::string csvText, std::string_view csvName,
                       std::size_t* imported = nullptr);

// Whether the book opens; when it does not, what is wrong and where. Nothing
// is changed: the session is discarded.
ToolOutcome probeBook(rm::RecordManager& manager, std::string_view typedFolder);

// Every entry in key 0 order; on refusal entries is left empty. The book's
// session is discarded, so the file is never written.
ToolOutcome readEntries(rm::RecordManager& manager, std::string_view typedFolder,
                        std::vector<GunRecord>& entries);

// Every entry in key 0 order, as CSV. On refusal csv is left empty.
ToolOutcome exportBook(rm::RecordManager& manager, std::string_view typedFolder,
                       std::string& csv, std::size_t* exported = nullptr);

}  // namespace varnok::booktool
