// progress.log: a run's own account, line by line and each line on disk
// before the step it announces, of what it has saved. changes.csv gets a
// session's rows before the engine makes the book durable, so a run
// stopped in between (a crash, a kill, a power cut) leaves rows for a
// book that was rolled back. The log says where each session's rows begin
// and end and the book's SHA-256 before them; the next command finds the
// folder unfinished, looks at the book (its Open rolls back a save cut
// short), and keeps exactly the rows of the changes the book holds.
//
//   changes <length of the header of changes.csv>
//   book <role> <book file>
//   opened <role>
//   session <role> <offset in changes.csv> <rows before> <book's SHA-256 before>
//   rows <role> <offset after its rows> <rows after>
//   saved <role>           the engine's Close went through
//   dropped <role>         it was refused: its rows were taken back
//   finished               the run's own end (or the recovery's)
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "recordmanager/record_manager.h"
#include "reportfolder/report_dir.h"

namespace varnok::reportfolder {

inline constexpr const char* kLedgerName = "progress.log";

class RunLedger {
 public:
  // Starts progress.log in the folder; throws std::system_error.
  RunLedger(const ReportDir& folder, uint64_t changesHeaderLength);
  ~RunLedger();
  RunLedger(const RunLedger&) = delete;
  RunLedger& operator=(const RunLedger&) = delete;

  // Each line is on disk when the call returns; throws std::system_error.
  void book(const std::string& role, const std::string& path);
  void opened(const std::string& role);
  void session(const std::string& role, uint64_t offset, long rows, const std::string& sha256);
  void rows(const std::string& role, uint64_t offset, long rows);
  void saved(const std::string& role);
  void dropped(const std::string& role);
  void finished();

 private:
  void append(const std::string& line);
  int fd_ = -1;
  std::string what_;
};

}  // namespace varnok::reportfolder
