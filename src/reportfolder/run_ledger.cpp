#include "reportfolder/run_ledger.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "reportfolder/file_io.h"

namespace varnok::reportfolder {

RunLedger::RunLedger(const ReportDir& folder, uint64_t changesHeaderLength)
    : what_((folder.path() / kLedgerName).string()) {
  fd_ = folder.createFile(kLedgerName, O_WRONLY | O_APPEND);
  append("changes " + std::to_string(changesHeaderLength));
}

RunLedger::~RunLedger() {
  if (fd_ >= 0) ::close(fd_);
}

void RunLedger::append(const std::string& line) {
  writeAll(fd_, line + "\n", what_);
  if (::fdatasync(fd_) != 0)
    throw std::system_error(errno, std::generic_category(), "cannot write " + what_);
}

void RunLedger::book(const std::string& role, const std::string& path) {
  append("book " + role + " " + path);
}

void RunLedger::opened(const std::string& role) { append("opened " + role); }

void RunLedger::session(const std::string& role, uint64_t offset, long rows,
                        const std::string& sha256) {
  append("session " + role + " " + std::to_string(offset) + " " + std::to_string(rows) + " " +
         (sha256.empty() ? "-" : sha256));
}

void RunLedger::rows(const std::string& role, uint64_t offset, long rows) {
  append("rows " + role + " " + std::to_string(offset) + " " + std::to_string(rows));
}

void RunLedger::saved(const std::string& role) { append("saved " + role); }
void RunLedger::dropped(const std::string& role) { append("dropped " + role); }
void RunLedger::finished() { append("finished"); }

}  // namespace varnok::reportfolder
