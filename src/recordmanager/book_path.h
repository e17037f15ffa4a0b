// The book file named by an Open or Create key buffer.
#pragma once

#include <cstddef>
#include <string>

namespace varnok::rm {

// The path in the first `length` bytes of `key`: cut at the first NUL,
// trailing blanks removed (blanks inside belong to the path), and every '\'
// turned into '/', since operators type folders either way. Empty when
// nothing is left (or key is null).
std::string bookFilePath(const char* key, std::size_t length);

}  // namespace varnok::rm
