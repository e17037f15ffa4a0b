// The folder each run, transfer, preview or restore leaves its report in:
// <reports>/<YYYY-MM-DD>-<HHMMSS>-<kind>/, by default under the user's data
// folder.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "reportfolder/report_dir.h"

namespace varnok::reportfolder {

// $XDG_DATA_HOME/varnok/reports when XDG_DATA_HOME is set to an absolute
// path, else $HOME/.local/share/varnok/reports. Throws std::runtime_error
// when neither gives a folder.
std::filesystem::path defaultReportsFolder();

// Makes a new report folder (0700) in `reports` (made first if missing, and
// checked as openReportsFolder says), named for the local time `at` and
// `kind` ("convert", "fix", "preview", "restore"): 2026-12-09-061502-convert,
// with -2, -3 ... added when a folder of that name exists already. The
// folder is made under a hidden name, `fill` writes its first files, and
// only then does it take its name: a folder under a report's name is never
// empty. Throws std::system_error naming the folder when it cannot be made
// or written in, std::runtime_error when the reports folder is refused.
// The folder is made in `into`, which `fill` is given.
void makeReportDir(const std::filesystem::path& reports, std::string_view kind,
                   std::chrono::system_clock::time_point at, ReportDir& into,
                   const std::function<void(const ReportDir&)>& fill);
// The same with no first files, for its path.
std::filesystem::path makeReportFolder(const std::filesystem::path& reports, std::string_view kind,
                                       std::chrono::system_clock::time_point at);

// A hidden folder a report was being made in ("." + name + ".partial").
bool isUnnamedReportFolder(const std::string& name);

// The local time `at` written by strftime's `format`.
std::string localTimeText(std::chrono::system_clock::time_point at, const char* format);

// The newest report folder in `reports` (their names sort by time), or an
// empty path when there is none.
std::filesystem::path newestReportFolder(const std::filesystem::path& reports);

}  // namespace varnok::reportfolder
