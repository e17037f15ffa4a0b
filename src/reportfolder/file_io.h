// Plain file writes and reads for the report's own files, each throwing
// std::system_error that names the file and the reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace varnok::reportfolder {

// A file in `folder` with no name, open for reading and writing: it goes
// when closed, or when the process ends.
int openUnnamedFile(const std::filesystem::path& folder);

// Writes every byte; `what` names the file in the error.
void writeAll(int fd, std::string_view bytes, const std::string& what);
void readAllAt(int fd, void* into, std::size_t length, uint64_t offset, const std::string& what);

// Writes `text` beside `path` and renames it into place; flushed to disk
// first when `flush`.
void writeFileInPlace(const std::filesystem::path& path, std::string_view text, bool flush = true);

}  // namespace varnok::reportfolder
