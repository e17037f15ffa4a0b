// How the book tool's requests name and open a book: the folder as typed,
// normalised, FILE3.DAT in it, and one-line refusals that name the book.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "gunbook/book_cursor.h"
#include "recordmanager/record_manager.h"

namespace varnok::booktool {

// "book <path>: <what>"
std::string refusal(std::string_view typedFolder, std::string_view what);

// The folder as the file system here spells it: the record manager takes
// '\' as a separator too, the file system does not.
std::filesystem::path filesystemFolder(std::string_view typedFolder);

// Why the folder's book cannot be named to the record manager; empty when
// it can.
std::string unnamable(std::string_view typedFolder);

// Opens the folder's book on `cursor`; empty when it is open, else the
// refusal, naming the book and the status.
std::string openBook(rm::RecordManager& manager, gunbook::BookCursor& cursor,
                     std::string_view typedFolder);

}  // namespace varnok::booktool
