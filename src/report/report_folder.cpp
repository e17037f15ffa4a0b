#include "report/report_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <stdexcept>
#include <string>
#include <system_error>

namespace varnok::report {
namespace {

// Writing a file proves the folder takes files: a folder that can be made
// but not written in (or a full disk) is found before any book is touched.
void proveWritable(const std::filesystem::path& folder) {
  const auto probe = folder / ".write-test";
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0 || ::write(fd, "x", 1) != 1 || ::fsync(fd) != 0) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    ::unlink(probe.c_str());
    ::rmdir(folder.c_str());
    throw std::system_error(error, std::generic_category(),
                            "cannot write in the report folder " + folder.string());
  }
  ::close(fd);
  ::unlink(probe.c_str());
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
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome && dataHome[0] == '/') return std::filesystem::path(dataHome) / "varnok" / "reports";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/')
    return std::filesystem::path(home) / ".local" / "share" / "varnok" / "reports";
  throw std::runtime_error(
      "no folder for reports: neither XDG_DATA_HOME nor HOME names a folder; choose one");
}

std::filesystem::path makeReportFolder(const std::filesystem::path& reports, std::string_view kind,
                                       std::chrono::system_clock::time_point at) {
  std::error_code error;
  std::filesystem::create_directories(reports, error);
  if (error)
    throw std::system_error(error, "cannot make the reports folder " + reports.string());
  const std::string name = localTimeText(at, "%Y-%m-%d-%H%M%S") + "-" + std::string(kind);
  for (int n = 1;; ++n) {
    const auto folder = reports / (n == 1 ? name : name + "-" + std::to_string(n));
    if (::mkdir(folder.c_str(), 0755) == 0) {
      proveWritable(folder);
      return folder;
    }
    if (errno != EEXIST)
      throw std::system_error(errno, std::generic_category(),
                              "cannot make the report folder " + folder.string());
  }
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

}  // namespace varnok::report
