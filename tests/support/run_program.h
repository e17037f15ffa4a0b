// Runs a program in a child process with standard input from /dev/null and
// collects its exit status and both outputs.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "child_process.h"

namespace varnok::testing {

using ProgramResult = ChildEnd;

// In a child: becomes `program`, with every descriptor above standard error
// closed but `keepOpen`; exit status 127 when it cannot.
[[noreturn]] inline void execProgram(const std::string& program,
                                     const std::vector<std::string>& args, int keepOpen = -1) {
  for (int fd = 3; fd < 256; ++fd) {
    if (fd != keepOpen) close(fd);
  }
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  _exit(127);
}

// inChild, when given, runs in the child just before the program starts
// (to set a resource limit, say).
inline ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::function<void()>& inChild = {}) {
  return runInChild([&] {
    dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
    if (inChild) inChild();
    execProgram(program, args);
  });
}

}  // namespace varnok::testing
