// A report folder held by a directory descriptor. Every file of a report is
// made and written through it, so that a folder swapped or linked elsewhere
// while a run goes on cannot redirect a write: the descriptor keeps naming
// the folder that was checked. Reports hold customers' names and addresses:
// folders are 0700, files 0600, whatever the umask.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace varnok::reportfolder {

class ReportDir {
 public:
  ReportDir() = default;
  ReportDir(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}
  ~ReportDir();
  ReportDir(ReportDir&& other) noexcept;
  ReportDir& operator=(ReportDir&& other) noexcept;
  ReportDir(const ReportDir&) = delete;
  ReportDir& operator=(const ReportDir&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::filesystem::path& path() const { return path_; }
  void setPath(std::filesystem::path path) { path_ = std::move(path); }

  // A new file of this folder, 0600, open with `flags` (O_WRONLY or
  // O_RDWR); never an existing file, never through a link. Throws
  // std::system_error naming the file.
  int createFile(const std::string& name, int flags) const;
  // An existing file of this folder, never through a link; -1 with errno
  // set when it cannot be opened.
  int openFile(const std::string& name, int flags) const noexcept;
  // A file with no name, gone when closed or when the process ends.
  int createUnnamed() const;
  // Writes `text` beside `name` and renames it into place; flushed to disk
  // first when `flush`.
  void writeFile(const std::string& name, std::string_view text, bool flush = true) const;
  // The whole of a file of this folder; throws std::system_error.
  std::string readFile(const std::string& name) const;
  void rename(const std::string& from, const std::string& to) const;
  bool exists(const std::string& name) const noexcept;
  void remove(const std::string& name) const noexcept;
  // Makes the folder's entries durable (a rename, a new file).
  void sync() const noexcept;

 private:
  int fd_ = -1;
  std::filesystem::path path_;
};

// Opens `reports`, making what is missing (0700), and refuses, throwing
// std::runtime_error that says which folder and why, when the folder (or,
// for the user's default reports folder, a folder on the way to it below
// the data home) is a symbolic link, is not owned by this user, or may be
// written by others.
ReportDir openReportsFolder(const std::filesystem::path& reports);

// The user's data home: $XDG_DATA_HOME when it is an absolute path, else
// $HOME/.local/share; empty when neither names one.
std::filesystem::path userDataHome();

}  // namespace varnok::reportfolder
