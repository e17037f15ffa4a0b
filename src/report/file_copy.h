// Byte-exact copies of files with their SHA-256, for book backups and the
// hashes a run's summary gives of each book before and after.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "report/report_dir.h"

namespace varnok::report {

// The SHA-256 of the file's bytes as 64 lower-case hex digits. Throws
// std::system_error naming the file when it cannot be read.
std::string sha256OfFile(const std::filesystem::path& file);

struct CopiedFile {
  std::filesystem::path path;
  std::string sha256;  // of the bytes copied, 64 lower-case hex digits
  std::uintmax_t bytes = 0;
};

// Something that hands its bytes, in order, to the function it is given,
// and throws when it cannot give them all: an open book, read through the
// book engine's own handle (rm::readOpenBookFile).
using ByteSource =
    std::function<void(const std::function<void(const uint8_t*, std::size_t)>& take)>;

// The book that the open session `positionBlock` names, as it is on disk.
ByteSource openBookBytes(const void* positionBlock);

// Copies the book that the open session `positionBlock` names into the new
// file `to` and returns how many bytes: within the kernel, from the
// engine's own descriptor, where the file systems let it, else through
// openBookBytes. The copy is not flushed (flushAndHash does that). `to`
// must not exist yet (an existing file is never overwritten). Throws
// std::system_error naming the file that could not be written, or what
// the reading threw; a copy cut short is removed.
std::uintmax_t copyOpenBook(const void* positionBlock, const std::filesystem::path& to);
// The same into the report folder: the bytes go to a file named `name`
// followed by ".partial", which publishBackup() names `name` once it is on
// disk, so that a backup is whole under its name or not there.
std::uintmax_t copyOpenBook(const void* positionBlock, const ReportDir& folder,
                            const std::string& name);
// Flushes the copy that copyOpenBook made, gives it its name and returns
// its SHA-256. Throws std::system_error naming the file.
std::string publishBackup(const ReportDir& folder, const std::string& name);
// The SHA-256 of the source's bytes, 64 lower-case hex digits.
std::string sha256Of(const ByteSource& source);

// A book file's SHA-256, read through a descriptor of its own that is
// handed back open in `reader` (-1 when the book could not be opened).
// Closed while this process holds a lock on the book (an open session's,
// or SQLite's during a commit), that descriptor would drop the lock: POSIX
// locks belong to the process and the file. The caller closes it once no
// session holds the book. `problem` says why there is no hash.
struct BookHash {
  std::string sha256;
  std::string problem;
  int reader = -1;
};
BookHash hashBook(const std::filesystem::path& book);

// Flushes the file to disk and returns its SHA-256. Throws
// std::system_error naming the file.
std::string flushAndHash(const std::filesystem::path& file);

// Copies `from` into the new file `to`, hashing the bytes on the way, and
// flushes the copy to disk before returning. `to` must not exist yet (an
// existing file is never overwritten). Throws std::system_error naming the
// file that could not be read or written; a copy cut short is removed.
CopiedFile copyWithHash(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace varnok::report
