// A scenario run in a child process, for everything that could take the
// test runner down: a processor fault, Abort, a fault with no trap running.
//
// The child writes a transcript to its standard output as it goes (error
// reports, notes of the statements that ran, source lines) with plain
// write(2) calls, so that nothing is lost when the child ends by _exit. The
// parent reads the transcript, the child's standard error and how it ended.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "child_process.h"
#include "errortrap/trap.h"

namespace varnok::testing {

struct Entry {
  std::string kind;  // "report" or "note"
  std::string text;
  bool operator==(const Entry&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Entry& entry) {
  out << entry.kind << "{";
  for (const char c : entry.text) {
    if (c == '\r') {
      out << "\\r";
    } else if (c == '\n') {
      out << "\\n";
    } else {
      out << c;
    }
  }
  return out << "}";
}

inline Entry Note(std::string text) { return {"note", std::move(text)}; }
inline Entry ReportOf(std::string message) { return {"report", std::move(message)}; }

inline void writeEntry(const std::string& kind, const std::string& text) {
  const std::string record = kind + '\x1f' + text + '\x1e';
  size_t done = 0;
  while (done < record.size()) {
    const ssize_t n = write(STDOUT_FILENO, record.data() + done, record.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// In the child: a statement ran, or something worth knowing happened.
inline void note(const std::string& text) { writeEntry("note", text); }
// In the child: the source line of the statement written on the same line.
inline void markLine(uint32_t line) { writeEntry("line", std::to_string(line)); }

// Answers reports from a script; when the script is used up, Abort. Each
// report is kept and, in a child, written to the transcript before the
// answer is given. beforeAnswer(n) runs before the n-th answer (from 1),
// for a test that removes the cause of the error.
class ScriptedReporter : public errortrap::ErrorReporter {
 public:
  explicit ScriptedReporter(std::deque<errortrap::Answer> answers, bool inChild = false)
      : answers_(std::move(answers)), inChild_(inChild) {}

  std::function<void(int)> beforeAnswer;
  std::vector<std::string> reports;

  errortrap::Answer errorReport(const std::string& message) override {
    reports.push_back(message);
    if (inChild_) writeEntry("report", message);
    if (beforeAnswer) beforeAnswer(static_cast<int>(reports.size()));
    if (answers_.empty()) return errortrap::Answer::Abort;
    const auto answer = answers_.front();
    answers_.pop_front();
    return answer;
  }

 private:
  std::deque<errortrap::Answer> answers_;
  bool inChild_;
};

struct ChildRun : ChildEnd {
  std::vector<Entry> transcript;  // reports and notes, in order
  std::vector<uint32_t> lines;    // the lines marked with markLine, in order
};

// Runs `body` in a child process and reads its transcript.
inline ChildRun runScenario(const std::function<void()>& body) {
  ChildRun run{runInChild(body), {}, {}};
  for (size_t start = 0; start < run.out.size();) {
    const size_t end = std::min(run.out.find('\x1e', start), run.out.size());
    const std::string record = run.out.substr(start, end - start);
    const size_t split = std::min(record.find('\x1f'), record.size());
    const std::string kind = record.substr(0, split);
    const std::string text = record.substr(std::min(split + 1, record.size()));
    if (kind == "line") {
      run.lines.push_back(static_cast<uint32_t>(std::stoul(text)));
    } else {
      run.transcript.push_back({kind, text});
    }
    start = end + 1;
  }
  return run;
}

inline std::ostream& operator<<(std::ostream& out, const ChildRun& run) {
  out << (run.exited ? "exited " + std::to_string(run.exitStatus)
                     : "killed by signal " + std::to_string(run.signal))
      << "; transcript:";
  for (const auto& entry : run.transcript) out << ' ' << entry;
  return out << "; stderr: " << run.err;
}

}  // namespace varnok::testing
