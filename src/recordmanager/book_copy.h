// Reading a copy of a book file that nothing writes any more, such as a
// run's backup of a book: read-only and without locks or journals, so the
// copy is never changed, even by the recovery an Open of a live book may make.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace varnok::rm {

// Hands every stored entry (kRecordLength bytes) of the book copy at `path`
// to `take`, in insertion order, each checked against its checksum.
// Returns 0, or the status an Open would give: 12 for a missing file, 30
// for a file that is no book, 2 for a damaged one.
int16_t readBookCopy(const std::string& path, const std::function<void(const uint8_t*)>& take);

}  // namespace varnok::rm
