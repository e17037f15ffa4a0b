// An X server of the test's own (Xvfb) and programs run on it, for smoke
// tests of the real window.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "run_program.h"

namespace varnok::testing {

// The program's path on PATH, or empty.
inline std::string findOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const auto candidate = std::filesystem::path(dirs.substr(start, end - start)) / program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    start = end + 1;
  }
  return {};
}

// A program running in the background with some environment variables set;
// ended when the object goes unless it ended first.
class BackgroundProgram {
 public:
  BackgroundProgram(const std::string& program, const std::vector<std::string>& args,
                    const std::map<std::string, std::string>& environment = {},
                    int keepOpenFd = -1)
      : child_([&] {
          for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
          execProgram(program, args, keepOpenFd);
        }) {}

  // The exit status once the program ended within `limit`; -1 otherwise.
  int waitForExit(std::chrono::milliseconds limit) {
    const auto end = child_.waitFor(limit);
    return end ? end->exitStatus : -1;
  }

 private:
  ChildProcess child_;
};

// Xvfb on a display number it picks itself, with one screen of `size`
// ("WIDTHxHEIGHT").
class XvfbServer {
 public:
  explicit XvfbServer(const std::string& size = "1280x1024") {
    int fds[2];
    if (pipe(fds) != 0) return;
    server_ = std::make_unique<BackgroundProgram>(
        findOnPath("Xvfb"),
        // -noreset: else the server resets as its last client leaves, and a
        // program started in that moment cannot connect.
        std::vector<std::string>{"-displayfd", std::to_string(fds[1]), "-screen", "0",
                                 size + "x24", "-nolisten", "tcp", "-noreset"},
        std::map<std::string, std::string>{}, fds[1]);
    close(fds[1]);
    // The server writes its display number and a line end once it is ready.
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (c == '\n' && !number.empty()) display_ = ":" + number;
  }

  // ":N", or empty when the server did not start.
  const std::string& display() const { return display_; }

  // Runs an X client on this server to its end.
  ProgramResult run(const std::string& program, const std::vector<std::string>& args) const {
    return runProgram(findOnPath(program), args,
                      [this] { setenv("DISPLAY", display_.c_str(), 1); });
  }

 private:
  std::unique_ptr<BackgroundProgram> server_;
  std::string display_;
};

}  // namespace varnok::testing
