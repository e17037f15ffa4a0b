// Book folders as the operator types them, and the book file in each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "recordmanager/record_manager.h"

namespace varnok::gunbook {

inline constexpr std::string_view kBookFileName = "FILE3.DAT ";

// Trailing blanks removed; then, when the text ends in neither '\' nor '/',
// the separator the folder already uses is appended: '/' when it holds a '/'
// and no '\', otherwise '\'. An empty folder becomes "\".
std::string normaliseFolder(std::string_view typed);

// The text of a normalised folder followed by "FILE3.DAT " (one blank): what
// Open takes in its key buffer.
std::string bookFileKey(std::string_view normalisedFolder);

// The longest normalised folder, its closing separator included, whose book
// file path (the folder, then FILE3.DAT) fits the key buffer of an Open or
// Create, in bytes. The blank that ends the name may fall off the buffer's
// end: the buffer's length ends the name as well.
inline constexpr std::size_t kLongestBookFolder =
    rm::kKeyBufferLength - (kBookFileName.size() - 1);

// Empty when the typed folder's book file path fits the key buffer; else why
// not, e.g. "the folder name is too long: ... at most 246 bytes ...". A
// longer path would reach the record manager cut short, naming another file.
std::string folderLengthProblem(std::string_view typedFolder);

// The book file of a typed folder as messages name it: no trailing blank,
// '/' for every folder separator.
std::string bookPath(std::string_view typedFolder);

// "file not found (status 12)": a book engine status for messages.
std::string statusPhrase(int16_t status);
// The same for a status `manager` answered, in its words.
std::string statusPhrase(const rm::RecordManager& manager, int16_t status);

}  // namespace varnok::gunbook
