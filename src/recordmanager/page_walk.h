// Open's structural check and load in one pass over the book's pages.
//
// The pages are read through SQLite's own handle on the file (a second
// descriptor, once closed, would drop SQLite's locks), each once, in the
// order of the entries' tree, and judged by the rules of SQLite's file
// format as a book uses it: both trees (the schema's and the entries')
// well formed, keys in order within their parents' bounds, every leaf at
// one depth, the cells and free blocks of each page apart and accounted
// for to the byte, the free list whole, every page of the file used once,
// and every row a seq, a 376-byte blob and the blob's CRC-32. A book never
// has overflow pages nor pointer maps, so a file with either is refused.
#pragma once

#include <cstdint>
#include <functional>

struct sqlite3_file;

namespace varnok::rm {

// Called once per entry in seq order; false refuses the book.
using EntryTake = std::function<bool(int64_t seq, const uint8_t* data)>;

// Success, or IoError for a file that breaks a rule (or cannot be read).
// `entriesRoot` is the entries table's root page as the schema names it.
int16_t walkBookPages(sqlite3_file* file, int64_t entriesRoot, const EntryTake& take);

}  // namespace varnok::rm
