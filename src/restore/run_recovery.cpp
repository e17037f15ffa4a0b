// The next command's look at a run that was stopped before its end
// (reportfolder/run_ledger.h says what the log holds and why).
#include "restore/run_recovery.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <sstream>
#include <system_error>

#include "recordmanager/record_manager.h"
#include "reportfolder/changes.h"
#include "reportfolder/file_copy.h"
#include "reportfolder/report_folder.h"
#include "reportfolder/run_ledger.h"
#include "restore/run_undo.h"

namespace varnok::restore {
namespace fs = std::filesystem;
namespace {

struct LoggedSession {
  std::string role;
  uint64_t offset = 0, end = 0;
  long rowsBefore = 0, rowsAfter = 0;
  std::string sha256Before;
  bool rowsWritten = false;
  enum class State { Pending, Saved, Dropped } state = State::Pending;
};

struct Ledger {
  uint64_t headerLength = 0;
  std::vector<std::pair<std::string, std::string>> books;  // role, book file
  std::vector<std::string> opened;
  std::vector<LoggedSession> sessions;
  bool finished = false;
};

LoggedSession* lastOf(Ledger& ledger, const std::string& role) {
  for (auto it = ledger.sessions.rbegin(); it != ledger.sessions.rend(); ++it)
    if (it->role == role) return &*it;
  return nullptr;
}

// Lines cut short by the stop (the last may be) are left out.
Ledger parseLedger(const std::string& text) {
  Ledger ledger;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (lines.eof()) break;  // no line end: cut short
    std::istringstream in(line);
    std::string word, role;
    in >> word >> role;
    LoggedSession* session = lastOf(ledger, role);
    if (word == "changes") {
      ledger.headerLength = std::stoull(role);
    } else if (word == "book") {
      std::string path;
      std::getline(in >> std::ws, path);
      ledger.books.emplace_back(role, path);
    } else if (word == "opened") {
      ledger.opened.push_back(role);
    } else if (word == "session") {
      LoggedSession next;
      next.role = role;
      in >> next.offset >> next.rowsBefore >> next.sha256Before;
      ledger.sessions.push_back(next);
    } else if (word == "rows" && session) {
      in >> session->end >> session->rowsAfter;
      session->rowsWritten = true;
    } else if (word == "saved" && session) {
      session->state = LoggedSession::State::Saved;
    } else if (word == "dropped" && session) {
      session->state = LoggedSession::State::Dropped;
    } else if (word == "finished") {
      ledger.finished = true;
    }
  }
  return ledger;
}

// The book's SHA-256 as it is once the engine has opened it (rolling back
// a save cut short); nullopt with the status when it will not open.
std::optional<std::string> bookHashNow(rm::RecordManager& engine, const std::string& path,
                                       int16_t& status) {
  std::array<char, rm::kPositionBlockLength> block;
  block.fill(' ');
  std::array<char, rm::kKeyBufferLength> key;
  key.fill(' ');
  if (path.size() >= key.size()) {
    status = rm::status::InvalidFileName;
    return std::nullopt;
  }
  std::memcpy(key.data(), path.data(), path.size());
  uint16_t length = 0;
  status = engine.call(rm::op::Open, block.data(), nullptr, &length, key.data(), key.size(), 0);
  if (status != rm::status::Success) return std::nullopt;
  std::optional<std::string> hash;
  try {
    hash = reportfolder::hashOpenBook(block.data());
  } catch (const std::exception&) {
    status = rm::status::IoError;
  }
  engine.call(rm::op::Discard, block.data(), nullptr, &length, key.data(), key.size(), 0);
  return hash;
}

std::string replaceLine(const std::string& text, const std::string& start,
                        const std::string& with) {
  const std::size_t found = text.find("\n" + start);
  if (found == std::string::npos) return text;
  const std::size_t at = found + 1;
  const std::size_t end = text.find('\n', at);
  return text.substr(0, at) + with + (end == std::string::npos ? "" : text.substr(end));
}

// What the stop left of each book, for the summary and the front end.
std::vector<std::string> bookFates(const Ledger& ledger) {
  std::vector<std::string> fates;
  for (const auto& [role, path] : ledger.books) {
    const LoggedSession* saved = nullptr;
    for (const LoggedSession& s : ledger.sessions)
      if (s.role == role && s.state == LoggedSession::State::Saved) saved = &s;
    const bool opened =
        std::find(ledger.opened.begin(), ledger.opened.end(), role) != ledger.opened.end();
    std::string fate = "  " + role + " book " + path + ": ";
    if (saved) {
      fate += "its changes were saved; changes.csv lists them";
    } else if (opened) {
      fate += "none of its changes were saved: it is as it was before the run";
    } else {
      fate += "not opened by the run";
    }
    fates.push_back(fate);
  }
  return fates;
}

// The hashes a stopped run had not worked out yet, of the backups that
// were whole under their names.
std::string withBackupHashes(const reportfolder::ReportDir& folder, std::string text) {
  const std::string pending = ", SHA-256 not worked out yet";
  for (std::size_t at = text.find(pending); at != std::string::npos; at = text.find(pending, at)) {
    const std::size_t name = text.rfind("backup: ", at) + 8;
    const std::string file = text.substr(name, at - name);
    const int fd = folder.openFile(file, O_RDONLY);
    if (fd < 0) {
      text.replace(at, pending.size(), ": never finished, so not kept");
      continue;
    }
    std::string sha256;
    try {
      sha256 = reportfolder::sha256OfDescriptor(fd, folder.path() / file);
    } catch (...) {
      ::close(fd);
      throw;
    }
    ::close(fd);
    text.replace(at, pending.size(), ", SHA-256 " + sha256);
    // The book's hash before the run is its first backup's.
    const std::size_t before = text.rfind("SHA-256 before: not worked out yet", at);
    const std::size_t block = text.rfind(" book: ", at);
    if (before != std::string::npos && before > block && file.find("-2-") == std::string::npos)
      text.replace(before + 16, 17, sha256);
  }
  return text;
}

void rewriteSummary(const reportfolder::ReportDir& folder, const Ledger& ledger, long rows,
                    const std::string& where) {
  std::string text;
  try {
    text = withBackupHashes(folder, folder.readFile("summary.txt"));
  } catch (const std::exception&) {
    text = "Varnok report\nended: NOT FINISHED\n\nInputs\n  not recorded\n\nchanges.csv: 0 rows\n";
  }
  const std::string now =
      reportfolder::localTimeText(std::chrono::system_clock::now(), "%Y-%m-%d %H:%M:%S %z");
  text = replaceLine(text, "ended:",
                     "ended: CUT SHORT: the run was stopped before its end (a crash, a kill, "
                     "a power cut or Abort); its report was put right on " +
                         now);
  text = replaceLine(text, "changes.csv:",
                     "changes.csv: " + std::to_string(rows) + " rows (" +
                         std::string(reportfolder::kRowsOfChanges) +
                         "): exactly the changes the books hold");
  std::string cut = "Cut short\n  " + where + "\n";
  for (const std::string& fate : bookFates(ledger)) cut += fate + "\n";
  cut +=
      "  To finish, run the same command again with the same values, or put the books back "
      "from the backups in this folder with varnok-cli book restore.\n\n";
  const std::size_t inputs = text.find("\nInputs\n");
  text.insert(inputs == std::string::npos ? text.size() : inputs + 1, cut);
  folder.writeFile("summary.txt", text);
}

// Decides the last session's fate; false when its book cannot be looked
// at now.
bool settlePending(Ledger& ledger, rm::RecordManager& engine, std::string& where) {
  LoggedSession* pending = nullptr;
  for (LoggedSession& s : ledger.sessions)
    if (s.state == LoggedSession::State::Pending) pending = &s;
  if (!pending) {
    where = ledger.sessions.empty() ? "It was stopped before it saved any book."
                                    : "It was stopped between the saves of its books.";
    return true;
  }
  where = "It was stopped while the " + pending->role + " book's changes were being saved";
  if (!pending->rowsWritten) {
    pending->state = LoggedSession::State::Dropped;
    where += ", before the engine could save them.";
    return true;
  }
  const auto book = std::find_if(ledger.books.begin(), ledger.books.end(),
                                 [&](const auto& b) { return b.first == pending->role; });
  if (book == ledger.books.end()) return false;
  // A save whose journal is still there never reached its end: the next
  // Open rolls it back. Looking needs no Open then, and so rolls nothing back.
  if (rm::saveCutShortBeside(book->second)) {
    pending->state = LoggedSession::State::Dropped;
    where += "; the save did not go through.";
    return true;
  }
  int16_t status = 0;
  const std::optional<std::string> now = bookHashNow(engine, book->second, status);
  if (!now) return false;
  const bool saved = *now != pending->sha256Before;
  pending->state = saved ? LoggedSession::State::Saved : LoggedSession::State::Dropped;
  where += saved ? "; the save went through." : "; the save did not go through.";
  return true;
}

// Puts one stopped run's folder right; the line to show, or empty.
std::string recoverFolder(const reportfolder::ReportDir& folder, rm::RecordManager& engine) {
  Ledger ledger = parseLedger(folder.readFile(reportfolder::kLedgerName));
  if (ledger.finished) return {};
  std::string where;
  if (!settlePending(ledger, engine, where))
    return folder.path().string() +
           ": a run stopped before its end; its book is open "
           "elsewhere or cannot be read, so its report is put right later";
  uint64_t keep = ledger.headerLength;
  long rows = 0;
  for (const LoggedSession& s : ledger.sessions) {
    if (s.state != LoggedSession::State::Saved) continue;
    keep = s.end;
    rows = s.rowsAfter;
  }
  // Whatever the stop left half made (a backup not yet whole, a summary
  // being replaced) goes: a file is whole under its name or not there.
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder.path(), ignored))
    if (entry.path().extension() == ".partial") folder.remove(entry.path().filename().string());
  const int changes = folder.openFile("changes.csv", O_WRONLY);
  if (changes >= 0) {
    const int cut = keep > 0 ? ::ftruncate(changes, static_cast<off_t>(keep)) : 0;
    const int synced = ::fsync(changes);
    ::close(changes);
    if (cut != 0 || synced != 0)
      throw std::system_error(errno, std::generic_category(), "cannot cut back changes.csv");
  }
  rewriteSummary(folder, ledger, rows, where);
  const int log = folder.openFile(reportfolder::kLedgerName, O_WRONLY | O_APPEND);
  const bool logged = log >= 0 && ::write(log, "finished\n", 9) == 9 && ::fsync(log) == 0;
  if (log >= 0) ::close(log);
  if (!logged) throw std::system_error(errno, std::generic_category(), "cannot write progress.log");
  return folder.path().string() + ": a run stopped before its end; its report now says what " +
         "the books hold (" + std::to_string(rows) + " rows of changes kept)";
}

}  // namespace

std::vector<std::string> recoverInterruptedRuns(const fs::path& reports,
                                                rm::RecordManager& engine) {
  std::vector<std::string> notes;
  std::error_code error;
  if (!fs::is_directory(reports, error)) return notes;
  try {
    const reportfolder::ReportDir parent = reportfolder::openReportsFolder(reports);
    for (const auto& entry : fs::directory_iterator(reports, error)) {
      const std::string name = entry.path().filename().string();
      const int fd =
          ::openat(parent.fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (fd < 0) continue;
      reportfolder::ReportDir folder(fd, parent.path() / name);
      // A run still under way holds its folder locked.
      if (::flock(fd, LOCK_EX | LOCK_NB) != 0) continue;
      try {
        if (reportfolder::isUnnamedReportFolder(name)) {
          fs::remove_all(folder.path(), error);
        } else if (folder.exists(kUndoLogName)) {
          if (std::string note = settleHalfDoneUndo(folder, engine); !note.empty())
            notes.push_back(std::move(note));
        } else if (folder.exists(reportfolder::kLedgerName)) {
          if (std::string note = recoverFolder(folder, engine); !note.empty())
            notes.push_back(std::move(note));
        }
      } catch (const std::exception& failure) {
        notes.push_back(folder.path().string() +
                        ": a run stopped before its end, and its report "
                        "could not be put right: " +
                        failure.what());
      }
    }
  } catch (const std::exception&) {
    // A reports folder that is refused is said by the command that uses it.
  }
  return notes;
}

}  // namespace varnok::restore
