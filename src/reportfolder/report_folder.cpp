#include "reportfolder/report_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <stdexcept>
#include <string>
#include <system_error>

namespace varnok::reportfolder {
namespace {

constexpr const char* kPartialSuffix = ".partial";

// Writing a file proves the folder takes files: a folder that can be made
// but not written in (or a full disk) is found before any book is touched.
void proveWritable(const ReportDir& folder) {
  const int fd = folder.createFile(".write-test", O_WRONLY);
  const bool written = ::write(fd, "x", 1) == 1 && ::fsync(fd) == 0;
  const int error = errno;
  ::close(fd);
  folder.remove(".write-test");
  if (!written)
    throw std::system_error(error, std::generic_category(),
                            "cannot write in the report folder " + folder.path().string());
}

// Gives the hidden folder `hidden` the first free name of `name`, -2, -3 ...
std::filesystem::path nameFolder(const ReportDir& reports, const std::string& hidden,
                                 const std::string& name) {
  for (int n = 1;; ++n) {
    const std::string candidate = n == 1 ? name : name + "-" + std::to_string(n);
    if (::renameat2(reports.fd(), hidden.c_str(), reports.fd(), candidate.c_str(),
                    RENAME_NOREPLACE) == 0) {
      reports.sync();
      return reports.path() / candidate;
    }
    if (errno != EEXIST && errno != ENOTEMPTY)
      throw std::system_error(
          errno, std::generic_category(),
          "cannot name the report folder " + (reports.path() / candidate).string());
  }
}

}  // namespace

std::string localTimeText(std::chrono::system_clock::time_point at, const char* format) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[64];
  return std::string(text, std::strftime(text, sizeof text, format, &local));
}

std::filesystem::path defaultReportsFolder() {
  if (const std::filesystem::path home = userDataHome(); !home.empty())
    return home / "varnok" / "reports";
  throw std::runtime_error(
      "no folder for reports: neither XDG_DATA_HOME nor HOME names a folder; choose one");
}

bool isUnnamedReportFolder(const std::string& name) {
  const std::string_view suffix = kPartialSuffix;
  return name.size() > 1 + suffix.size() && name[0] == '.' &&
         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void makeReportDir(const std::filesystem::path& reports, std::string_view kind,
                   std::chrono::system_clock::time_point at, ReportDir& into,
                   const std::function<void(const ReportDir&)>& fill) {
  const ReportDir parent = openReportsFolder(reports);
  const std::string name = localTimeText(at, "%Y-%m-%d-%H%M%S") + "-" + std::string(kind);
  std::string hidden;
  for (int n = 0;; ++n) {
    hidden =
        "." + name + "-" + std::to_string(::getpid()) + "-" + std::to_string(n) + kPartialSuffix;
    if (::mkdirat(parent.fd(), hidden.c_str(), 0700) == 0) break;
    if (errno != EEXIST)
      throw std::system_error(errno, std::generic_category(),
                              "cannot make a report folder in " + parent.path().string());
  }
  const int fd =
      ::openat(parent.fd(), hidden.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0)
    throw std::system_error(errno, std::generic_category(),
                            "cannot open a report folder in " + parent.path().string());
  ::fchmod(fd, 0700);
  into = ReportDir(fd, parent.path() / hidden);
  try {
    proveWritable(into);
    if (fill) fill(into);
    into.setPath(nameFolder(parent, hidden, name));
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove_all(parent.path() / hidden, ignored);
    throw;
  }
}

std::filesystem::path makeReportFolder(const std::filesystem::path& reports, std::string_view kind,
                                       std::chrono::system_clock::time_point at) {
  ReportDir folder;
  makeReportDir(reports, kind, at, folder, {});
  return folder.path();
}

std::filesystem::path newestReportFolder(const std::filesystem::path& reports) {
  std::filesystem::path newest;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(reports, error)) {
    const std::string name = entry.path().filename().string();
    // 2026-12-09-061502-convert: a date and a time first.
    if (!entry.is_directory(error) || name.size() < 18 || name[4] != '-' || name[17] != '-')
      continue;
    if (newest.empty() || name > newest.filename().string()) newest = entry.path();
  }
  return newest;
}

}  // namespace varnok::reportfolder
