// CRC-32 (the IEEE polynomial, as in zip and PNG) of a stored entry, kept
// beside it in the book so that a changed byte is found on Open.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varnok::rm {

uint32_t crc32(const uint8_t* data, std::size_t length);

}  // namespace varnok::rm
