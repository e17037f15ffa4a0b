// The checksum kept beside every entry: the CRC-32 of zip and PNG (the
// reflected polynomial 0xEDB88320), so that any tool can verify a book.
//
// Every Open checks every entry and every Close sums every entry it
// writes, so it is worth doing fast: on processors with carry-less
// multiplication the bytes are folded sixteen at a time; elsewhere zlib's
// tables do it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varnok::rm {

uint32_t zipCrc32(const uint8_t* data, std::size_t length);

}  // namespace varnok::rm
