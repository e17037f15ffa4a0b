// The SQLite file layer books are opened through: the process's default
// layer, with reads ahead in a book file and writes gathered in a book file
// and in its journal.
//
// SQLite reads and writes a page (4 KB) at a time, and writes each page it
// journals in three pieces. At 100,000 entries a pass makes some 70,000
// such calls per book, and on a virtual machine each system call costs
// more than the work it carries. This layer turns them into a few hundred:
//
// - A read of a book file fetches 124 KB from there on and serves the
//   reads that follow from it. What was read ahead is forgotten at every
//   write into it, truncation and lock change of that file, so it never outlives
//   the lock under which it was read: no other program can change the file
//   while SQLite holds any lock on it.
// - Writes that follow one another in a file are gathered, up to 124 KB,
//   and handed on before anything else is done to the file: a read that
//   does not lie wholly before them, a sync, a size, a lock change, a file
//   control or the close. (A commit too large for SQLite's cache writes
//   earlier pages out between its reads of later ones.) SQLite orders
//   its writes by its syncs, so gathering between syncs changes nothing a
//   crash could leave; a write that fails is reported by the next of those
//   calls, which for a commit is the sync that would make it durable.
//
// Each file is opened through the layer that is the process's default at
// the time (the crash tests put one of their own there).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

struct sqlite3_file;

namespace varnok::rm {

// The name to give sqlite3_open_v2; registered at the first call.
const char* bufferedFileLayer();

// Hands every byte of an open database file to `take`, in order, through
// the handle's own reads (no second descriptor on the file). A status of
// status.h.
int16_t readWholeFile(sqlite3_file* file,
                      const std::function<void(const uint8_t*, std::size_t)>& take);

}  // namespace varnok::rm
