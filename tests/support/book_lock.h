// Whether another process holds a book file's write lock right now.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "child_process.h"

namespace varnok::testing {

// Asks the system in a child process, about the byte SQLite locks for a
// writer (its reserved byte, just past the first gigabyte). Not through
// SQLite: a forked child's SQLite keeps its parent's notion of its own
// locks and would answer from that instead of from the file.
inline bool lockedElsewhere(const std::string& bookFile) {
  const ChildEnd end = runInChild([&] {
    const int fd = ::open(bookFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 2;
    struct flock probe{};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0x40000001;
    probe.l_len = 1;
    const bool held = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(fd);
    return held ? 1 : 0;
  });
  return end.exited && end.exitStatus == 1;
}

}  // namespace varnok::testing
