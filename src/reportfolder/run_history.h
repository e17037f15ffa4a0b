// The runs a reports folder remembers: which earlier conversion, if any,
// left a pair of books exactly as they are now.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <utility>

namespace varnok::reportfolder {

// The newest report folder in `reports` (other than `except`) of a
// conversion that ran to its end on `conversionDate` ("MM/DD/YYYY") and
// left its old and its new book with the SHA-256 that `hashes` gives (old,
// new), where at least one of them changed; empty when there is none.
// `hashes` is asked only when such a conversion is on record. A preview, a
// declined run and a run cut short never count.
using BookHashes = std::function<std::pair<std::string, std::string>()>;
std::filesystem::path conversionThatLeft(const std::filesystem::path& reports,
                                         const std::string& conversionDate,
                                         const BookHashes& hashes,
                                         const std::filesystem::path& except = {});

}  // namespace varnok::reportfolder
