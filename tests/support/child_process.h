// Running part of a test in a child process: for whatever could take the
// test runner down (a processor fault, Abort, a kill in the middle of a
// write) and for programs run to their end or in the background.
//
// The child's standard output and error go to files of their own, read back
// when it has ended. The child asserts nothing; the parent looks at how it
// ended and what it wrote.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>

namespace varnok::testing {

// Exit status of a child whose body threw.
inline constexpr int kBodyThrew = 120;

// How a child process ended, and what it wrote.
struct ChildEnd {
  bool exited = false;  // ended by exit, not by a signal
  int exitStatus = -1;  // -1 unless it exited
  int signal = 0;       // the signal that ended it; 0 if none
  std::string out, err;
};

inline std::ostream& operator<<(std::ostream& out, const ChildEnd& end) {
  out << (end.exited ? "exited " + std::to_string(end.exitStatus)
                     : "killed by signal " + std::to_string(end.signal));
  return out << "; stdout: " << end.out << "; stderr: " << end.err;
}

// A child process running `body`. Its exit status is what the body returns
// (0 for a body that returns nothing, kBodyThrew when it throws); it never
// returns into the test framework. A child still running when the object
// goes is sent SIGTERM and waited for.
class ChildProcess {
 public:
  template <class Body>
  explicit ChildProcess(Body&& body) : out_(std::tmpfile()), err_(std::tmpfile()) {
    if (!out_ || !err_) throw std::runtime_error("tmpfile failed");
    std::fflush(nullptr);
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ > 0) return;
    dup2(fileno(out_), STDOUT_FILENO);
    dup2(fileno(err_), STDERR_FILENO);
    int status = kBodyThrew;
    try {
      if constexpr (std::is_void_v<std::invoke_result_t<Body&>>) {
        body();
        status = 0;
      } else {
        status = body();
      }
    } catch (...) {
    }
    std::fflush(nullptr);
    _exit(status);
  }
  ~ChildProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      wait();
    }
    std::fclose(out_);
    std::fclose(err_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void kill(int signal) { ::kill(pid_, signal); }

  // Waits for the child to end.
  ChildEnd wait() {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    return ended(status);
  }

  // The end, if the child ends within `limit`.
  std::optional<ChildEnd> waitFor(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    for (int status = 0; std::chrono::steady_clock::now() < until;) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) return ended(status);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
  }

 private:
  static std::string readAll(FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
    return text;
  }

  ChildEnd ended(int status) {
    pid_ = 0;
    ChildEnd end;
    end.exited = WIFEXITED(status);
    end.exitStatus = end.exited ? WEXITSTATUS(status) : -1;
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    end.out = readAll(out_);
    end.err = readAll(err_);
    return end;
  }

  FILE* out_;
  FILE* err_;
  pid_t pid_ = 0;
};

// One byte at a time from a child process to its parent.
class Pipe {
 public:
  Pipe() {
    if (pipe(ends_) != 0) throw std::runtime_error("pipe");
  }
  ~Pipe() {
    close(ends_[0]);
    close(ends_[1]);
  }
  void send(char c) { (void)!write(ends_[1], &c, 1); }
  // The next byte, or -1 when the other end is gone.
  int receive() {
    char c;
    return read(ends_[0], &c, 1) == 1 ? c : -1;
  }

 private:
  int ends_[2];
};

// Runs `body` in a child process to its end.
template <class Body>
ChildEnd runInChild(Body&& body) {
  return ChildProcess(std::forward<Body>(body)).wait();
}

}  // namespace varnok::testing
