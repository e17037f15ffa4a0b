// Telling whether two typed book folders name the same book file.
#pragma once

#include <string_view>

namespace varnok::conversion {

// True when both folders, normalised as a pass normalises them, lead to the
// same book file: the same file on disk (also through links or relative
// paths), or the same path when the file does not exist yet.
bool sameBookFile(std::string_view oldFolderTyped, std::string_view newFolderTyped);

}  // namespace varnok::conversion
