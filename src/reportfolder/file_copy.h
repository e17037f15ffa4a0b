// Byte-exact copies of files with their SHA-256, for book backups and the
// hashes a run's summary gives of each book before and after. A book's own
// bytes come from the book engine; the report's files are read here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "reportfolder/report_dir.h"

namespace varnok::reportfolder {

// The SHA-256 of the file's bytes as 64 lower-case hex digits. Throws
// std::system_error naming the file when it cannot be read.
std::string sha256OfFile(const std::filesystem::path& file);

struct CopiedFile {
  std::filesystem::path path;
  std::string sha256;  // of the bytes copied, 64 lower-case hex digits
  std::uintmax_t bytes = 0;
};

// The SHA-256 of what `fd`, open on `file`, reads from where it stands.
std::string sha256OfDescriptor(int fd, const std::filesystem::path& file);

// Copies the book that the open session `positionBlock` names into the new
// file `to`, through the book engine (rm::copyOpenBook), and returns how
// many bytes. The copy is not flushed (flushAndHash does that). `to` must
// not exist yet (an existing file is never overwritten). Throws
// std::system_error naming the file that could not be written, or
// std::runtime_error when the book could not be read; a copy cut short is
// removed.
std::uintmax_t copyOpenBook(const void* positionBlock, const std::filesystem::path& to);
// The same into the report folder: the bytes go to a file named `name`
// followed by ".partial", which publishBackup() names `name` once it is on
// disk, so that a backup is whole under its name or not there.
std::uintmax_t copyOpenBook(const void* positionBlock, const ReportDir& folder,
                            const std::string& name);
// Flushes the copy that copyOpenBook made, gives it its name and returns
// its SHA-256. Throws std::system_error naming the file.
std::string publishBackup(const ReportDir& folder, const std::string& name);

// A book file's SHA-256 as the book engine reads it (rm::bookFileSha256),
// or why there is none.
struct BookHash {
  std::string sha256;
  std::string problem;
};
BookHash hashBook(const std::filesystem::path& book);
// The same, thrown as std::runtime_error when there is none.
std::string sha256OfBook(const std::filesystem::path& book);
// The same for an open session's book; throws std::runtime_error.
std::string hashOpenBook(const void* positionBlock);

// Flushes the file to disk and returns its SHA-256. Throws
// std::system_error naming the file.
std::string flushAndHash(const std::filesystem::path& file);

// Copies `from` into the new file `to`, hashing the bytes on the way, and
// flushes the copy to disk before returning. `to` must not exist yet (an
// existing file is never overwritten). Throws std::system_error naming the
// file that could not be read or written; a copy cut short is removed.
CopiedFile copyWithHash(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace varnok::reportfolder
