// The folder each run, transfer, preview or restore leaves its report in:
// <reports>/<YYYY-MM-DD>-<HHMMSS>-<kind>/, by default under the user's data
// folder.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace varnok::report {

// $XDG_DATA_HOME/varnok/reports when XDG_DATA_HOME is set to an absolute
// path, else $HOME/.local/share/varnok/reports. Throws std::runtime_error
// when neither gives a folder.
std::filesystem::path defaultReportsFolder();

// Makes a new, empty report folder in `reports` (made first if missing),
// named for the local time `at` and `kind` ("convert", "fix", "preview",
// "restore"): 2026-12-09-061502-convert, with -2, -3 ... added when a
// folder of that name exists already. Throws std::system_error naming the
// folder when it cannot be made or written in.
std::filesystem::path makeReportFolder(const std::filesystem::path& reports, std::string_view kind,
                                       std::chrono::system_clock::time_point at);

// The local time `at` written by strftime's `format`.
std::string localTimeText(std::chrono::system_clock::time_point at, const char* format);

// The newest report folder in `reports` (their names sort by time), or an
// empty path when there is none.
std::filesystem::path newestReportFolder(const std::filesystem::path& reports);

}  // namespace varnok::report
