// Runs varnok-cli in a child process and measures it from outside: wall
// time and peak resident memory, so that what the benchmark prints is what
// an operator's machine would see.
#pragma once

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "book_pairs.h"

namespace varnok::bench {

struct ChildRun {
  double seconds = 0;
  double peakMiB = 0;
};

inline double mebibytes(double bytes) { return bytes / (1024.0 * 1024.0); }

inline long long fileBytes(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : 0;
}

// A child's peak memory as wait4 reports it includes that of the process
// it was forked from, so varnok-cli is started by a small launcher forked
// at the benchmark's start, before it holds any books: it runs each
// command it is sent and answers with the time taken and the peak. Each
// run's report (its backups and changes.csv included) goes to a folder of
// the launcher's own, removed once the run is measured: left in the user's
// data folder, a 1,000,000-entry comparison would leave gigabytes there.
class Launcher {
 public:
  Launcher() {
    int toLauncher[2], fromLauncher[2];
    if (::pipe(toLauncher) != 0 || ::pipe(fromLauncher) != 0) std::exit(1);
    if (::fork() == 0) {
      ::close(toLauncher[1]);
      ::close(fromLauncher[0]);
      serve(toLauncher[0], fromLauncher[1]);
      ::_exit(0);
    }
    ::close(toLauncher[0]);
    ::close(fromLauncher[1]);
    requests_ = toLauncher[1];
    answers_ = fromLauncher[0];
  }

  // Runs varnok-cli with `args`, its output thrown away; exits the
  // benchmark when it does not succeed.
  // VARNOK_CLI in the environment names another build's to measure.
  ChildRun run(const std::vector<std::string>& args) {
    const char* other = std::getenv("VARNOK_CLI");
    return runProgram(other != nullptr && *other != '\0' ? other : VARNOK_CLI, args);
  }

  // The same for any program, its standard input read from `input` when
  // one is named.
  ChildRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& input = "") {
    std::string request = program + '\0' + input + '\0';
    for (const std::string& arg : args) request += arg + '\0';
    const uint64_t length = request.size();
    Answer answer{};
    if (!writeAll(requests_, &length, sizeof length) ||
        !writeAll(requests_, request.data(), request.size()) ||
        !readAll(answers_, &answer, sizeof answer) || answer.status != 0) {
      std::fprintf(stderr, "%s %s failed (status %d)\n", program.c_str(),
                   args.empty() ? "" : args.front().c_str(), answer.status);
      std::exit(1);
    }
    return ChildRun{answer.seconds, answer.peakKiB / 1024.0};
  }

 private:
  struct Answer {
    double seconds;
    long peakKiB;
    int status;
  };

  static bool writeAll(int fd, const void* data, std::size_t length) {
    const char* p = static_cast<const char*>(data);
    while (length > 0) {
      const ssize_t n = ::write(fd, p, length);
      if (n <= 0) return false;
      p += n;
      length -= std::size_t(n);
    }
    return true;
  }
  static bool readAll(int fd, void* data, std::size_t length) {
    char* p = static_cast<char*>(data);
    while (length > 0) {
      const ssize_t n = ::read(fd, p, length);
      if (n <= 0) return false;
      p += n;
      length -= std::size_t(n);
    }
    return true;
  }

  static void serve(int requests, int answers) {
    char pattern[] = "/tmp/varnok-bench-reports-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return;
    const std::filesystem::path dataHome = pattern;
    ::setenv("XDG_DATA_HOME", pattern, 1);
    uint64_t length = 0;
    while (readAll(requests, &length, sizeof length)) {
      std::string request(length, '\0');
      if (!readAll(requests, request.data(), length)) return;
      // The program, the file for its standard input (or nothing), then
      // its arguments.
      std::vector<char*> words;
      for (std::size_t at = 0; at < request.size(); at = request.find('\0', at) + 1)
        words.push_back(request.data() + at);
      if (words.size() < 2) return;
      const std::string input = words[1];
      std::vector<char*> argv{words[0]};
      argv.insert(argv.end(), words.begin() + 2, words.end());
      argv.push_back(nullptr);
      const auto start = std::chrono::steady_clock::now();
      const pid_t child = ::fork();
      if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        if (!input.empty()) {
          const int in = ::open(input.c_str(), O_RDONLY);
          if (in < 0) ::_exit(127);
          ::dup2(in, 0);
        }
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
      }
      int status = 0;
      rusage usage{};
      ::wait4(child, &status, 0, &usage);
      const Answer answer{
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
          usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : 128};
      std::error_code ignored;
      std::filesystem::remove_all(dataHome / "varnok", ignored);
      if (!writeAll(answers, &answer, sizeof answer)) break;
    }
    std::error_code ignored;
    std::filesystem::remove_all(dataHome, ignored);
  }

  int requests_ = -1;
  int answers_ = -1;
};

// The options that fill the window's boxes as SilentView does.
inline std::vector<std::string> formArgs(const char* command, const std::string& oldFolder,
                                         const std::string& newFolder) {
  std::vector<std::string> args = {command, "--old", oldFolder,
                                   "--new", newFolder, "--date", kDate};
  // Only a conversion writes the prefix; fix refuses the option.
  if (std::string(command) == "convert") args.insert(args.end(), {"--prefix", "NW"});
  const char* parts[6] = {"last", "first", "address", "city", "state", "zip"};
  SilentView view;
  for (int i = 0; i < 6; ++i) {
    args.insert(args.end(), {std::string("--previous-") + parts[i], view.form.previousLicensee[i]});
    args.insert(args.end(), {std::string("--new-") + parts[i], view.form.newLicensee[i]});
  }
  return args;
}

// Peak memory against its limit: twice the bytes of the books involved
// plus 50 MB.
inline void printPeak(const char* what, const ChildRun& run, long long bookBytes) {
  const double limit = mebibytes(2.0 * double(bookBytes) + 50e6);
  std::printf("  %-12s %7.2f s   peak %7.1f MiB   limit %7.1f MiB  %s\n", what, run.seconds,
              run.peakMiB, limit, run.peakMiB <= limit ? "within" : "OVER");
}

}  // namespace varnok::bench
