#include "report/recording_manager.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "recordmanager/book_path.h"
#include "recordmanager/file_identity.h"
#include "recordmanager/little_endian.h"
#include "recordmanager/record_manager.h"
#include "recordmanager/status.h"

namespace varnok::report {
namespace {

int64_t modifiedNanoseconds(const struct stat& st) {
  return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

}  // namespace

RecordingManager::RecordingManager(rm::RecordManager& engine, RunKind kind, Mode mode,
                                   const reportfolder::ReportDir& folder,
                                   reportfolder::ChangesFile& changes,
                                   reportfolder::RunLedger& ledger, std::vector<BookRecord> books)
    : engine_(engine),
      kind_(kind),
      mode_(mode),
      folder_(folder),
      changes_(changes),
      ledger_(ledger),
      books_(std::move(books)),
      observation_(*this) {}

RecordingManager::~RecordingManager() = default;

const char* RecordingManager::statusText(int16_t value) const {
  switch (value) {
    case status::BackupNotWritten: return "its backup copy could not be written";
    case status::ReportNotWritten: return "the report of its changes could not be written";
    case status::SaveCutShort:
      return "its last save was cut short; a preview does not open it, since opening it puts "
             "it back as it was before that save";
    default: return engine_.statusText(value);
  }
}

RecordingManager::Session* RecordingManager::sessionOf(const void* block, SessionKey& key) {
  if (!rm::sessionNamedBy(block, key)) return nullptr;
  const auto found = sessions_.find(key);
  return found == sessions_.end() ? nullptr : &found->second;
}

int16_t RecordingManager::call(uint16_t operation, void* block, void* data, uint16_t* dataLength,
                               void* key, uint16_t keyLength, int16_t keyNumber) {
  if (operation == rm::op::Open)
    return open(block, data, dataLength, key, keyLength, keyNumber);
  // Reads and writes pass straight through: the engine tells of changes.
  SessionKey sessionKey;
  Session* session = operation == rm::op::Close || operation == rm::op::Discard
                         ? sessionOf(block, sessionKey)
                         : nullptr;
  if (session && operation == rm::op::Close)
    return close(block, sessionKey, *session, dataLength, data, key, keyLength, keyNumber);
  const int16_t status =
      engine_.call(operation, block, data, dataLength, key, keyLength, keyNumber);
  if (session && operation == rm::op::Discard && status == rm::status::Success)
    sessions_.erase(sessionKey);
  return status;
}

int16_t RecordingManager::open(void* block, void* data, uint16_t* dataLength, void* key,
                               uint16_t keyLength, int16_t keyNumber) {
  if (mode_ == Mode::Preview) {
    const std::string path = rm::bookFilePath(static_cast<const char*>(key), keyLength);
    if (rm::saveCutShortBeside(path)) {
      problems_.push_back(path + ": a run that was stopped left this book's last save unfinished. "
                          "A preview writes nothing, so it does not open the book (its Open would "
                          "put the book back as it was before that save). Recover the book by "
                          "opening it once, for example with varnok-cli book stat on its folder, "
                          "then preview again.");
      return status::SaveCutShort;
    }
  }
  const int16_t status =
      engine_.call(rm::op::Open, block, data, dataLength, key, keyLength, keyNumber);
  SessionKey sessionKey;
  if (status != rm::status::Success || !rm::sessionNamedBy(block, sessionKey)) return status;
  const std::size_t index = bookOf(rm::bookFilePath(static_cast<const char*>(key), keyLength));
  BookRecord& book = books_[index];
  const std::size_t backups = book.backups.size();
  if (!protect(index, block)) {
    engine_.call(rm::op::Discard, block, nullptr, nullptr, nullptr, 0, 0);
    return status::BackupNotWritten;
  }
  if (!book.opened) {
    book.opened = true;
    book.entriesBefore = entryCount(block);
    try {
      ledger_.opened(book.role);
    } catch (const std::exception& error) {
      problems_.push_back(book.role + " book " + book.path +
                          ": the run's progress could not be written, so it was left untouched: " +
                          error.what());
      engine_.call(rm::op::Discard, block, nullptr, nullptr, nullptr, 0, 0);
      return status::ReportNotWritten;
    }
  }
  sessions_[sessionKey] = Session{index, {}, false};
  if (onProgress && book.backups.size() > backups) onProgress();
  return rm::status::Success;
}

std::size_t RecordingManager::bookOf(const std::string& path) {
  const auto id = rm::fileIdentity(path);
  for (std::size_t i = 0; i < books_.size(); ++i) {
    if (id && rm::fileIdentity(books_[i].path) == id) return i;
  }
  books_.push_back(BookRecord{"other", path});
  return books_.size() - 1;
}

// Takes the backup the book needs before anything can be written to it: the
// first of the run, or a fresh one when the file changed since the last.
bool RecordingManager::protect(std::size_t index, const void* block) {
  BookRecord& book = books_[index];
  try {
    if (mode_ == Mode::Preview) {
      if (book.sha256Before.empty())
        book.sha256Before = book.lastSaved = reportfolder::hashOpenBook(block);
      return true;
    }
    struct stat st;
    if (::stat(book.path.c_str(), &st) != 0)
      throw std::system_error(errno, std::generic_category(), "cannot read " + book.path);
    if (!book.backups.empty() && rm::fileIdentity(st) == book.fileAtBackup &&
        st.st_size == book.sizeAtBackup && modifiedNanoseconds(st) == book.modifiedAtBackup)
      return true;
    const std::string fileName = std::filesystem::path(book.path).filename().string();
    const std::string name =
        book.role + "-" +
        (book.backups.empty() ? "" : std::to_string(book.backups.size() + 1) + "-") + fileName;
    book.backups.push_back(reportfolder::CopiedFile{
        folder_.path() / name, {}, reportfolder::copyOpenBook(block, folder_, name)});
    book.backupSinceSave = true;
    pendingBackups_.push_back(
        PendingBackup{index, book.backups.size() - 1, std::async(std::launch::async, [this, name] {
                        return reportfolder::publishBackup(folder_, name);
                      })});
    book.fileAtBackup = rm::fileIdentity(st);
    book.sizeAtBackup = st.st_size;
    book.modifiedAtBackup = modifiedNanoseconds(st);
    return true;
  } catch (const std::exception& error) {
    problems_.push_back(book.role + " book " + book.path +
                        ": its backup copy could not be written, so it was left untouched: " +
                        error.what());
    return false;
  }
}

bool RecordingManager::settleBackups() {
  for (PendingBackup& pending : pendingBackups_) {
    BookRecord& book = books_[pending.book];
    try {
      book.backups[pending.backup].sha256 = pending.sha256.get();
      if (pending.backup == 0) book.sha256Before = book.backups[0].sha256;
    } catch (const std::exception& error) {
      backupFailed_ = true;
      problems_.push_back(book.role + " book " + book.path +
                          ": its backup copy could not be written, so it was left untouched: " +
                          error.what());
    }
  }
  pendingBackups_.clear();
  return !backupFailed_;
}

void RecordingManager::finishBooks() {
  settleBackups();
  for (std::size_t i = 0; i < books_.size(); ++i) {
    if (books_[i].opened && !hashesAfter_.count(i))
      hashesAfter_[i] = reportfolder::hashBook(books_[i].path);
  }
  for (const auto& [index, outcome] : hashesAfter_) {
    books_[index].sha256After =
        outcome.problem.empty() ? outcome.sha256 : "cannot be read: " + outcome.problem;
  }
  hashesAfter_.clear();
}

long RecordingManager::entryCount(void* block) {
  // On a copy of the block, so that the caller's position is not touched.
  std::array<char, rm::kPositionBlockLength> copy;
  std::memcpy(copy.data(), block, copy.size());
  std::array<uint8_t, rm::kStatBufferLength> stat{};
  std::array<char, rm::kKeyBufferLength> key{};
  uint16_t length = rm::kStatBufferLength;
  if (engine_.call(rm::op::Stat, copy.data(), stat.data(), &length, key.data(), key.size(), 0) !=
      rm::status::Success)
    return -1;
  return static_cast<long>(rm::readLittleEndian<4>(stat.data() + 6));
}

reportfolder::Change RecordingManager::changeFor(const uint8_t* before, const uint8_t* after,
                                                 const BookRecord& book) const {
  if (after == nullptr) return reportfolder::Change::Removed;
  const bool update = before != nullptr;
  switch (kind_) {
    case RunKind::Convert:
      if (update && book.role == "old") return reportfolder::Change::HandedOver;
      if (update && book.role == "new") return reportfolder::Change::CarriedOver;
      break;
    case RunKind::Fix:
      if (update && book.role == "old") return reportfolder::Change::TransferredOut;
      if (!update && book.role == "new") return reportfolder::Change::TransferredIn;
      break;
    case RunKind::Import:
      if (!update) return reportfolder::Change::Imported;
      break;
  }
  return update ? reportfolder::Change::Rewritten : reportfolder::Change::Added;
}

void RecordingManager::changed(const void* block, const uint8_t* before,
                               const uint8_t* after) noexcept {
  SessionKey key;
  Session* session = sessionOf(block, key);
  if (session == nullptr) return;  // not a session of this run
  try {
    // A conversion touches most entries of each book; a transfer, few.
    const long touched = kind_ == RunKind::Convert ? books_[session->book].entriesBefore : 0;
    if (!session->changes)
      session->changes = std::make_unique<reportfolder::SessionChanges>(
          folder_, books_[session->book].role, static_cast<std::size_t>(std::max(0L, touched)));
    session->changes->record(changeFor(before, after, books_[session->book]), before, after);
  } catch (const std::exception& error) {
    if (!session->unrecorded) {
      try {
        problems_.push_back(books_[session->book].role + " book " + books_[session->book].path +
                            ": a change could not be recorded: " + error.what());
      } catch (...) {
        // Out of memory for the words: the Close is refused all the same.
      }
    }
    session->unrecorded = true;
  }
}

int16_t RecordingManager::committing(const void*) {
  return committing_ != nullptr ? (*committing_)() : rm::status::Success;
}

std::string RecordingManager::hashBeforeSession(std::size_t index) {
  BookRecord& book = books_[index];
  if (book.backupSinceSave && !book.backups.empty()) return book.backups.back().sha256;
  // Saved before in this run: the hash made after that save.
  if (const auto found = hashesAfter_.find(index); found != hashesAfter_.end()) {
    if (found->second.problem.empty()) book.lastSaved = found->second.sha256;
    hashesAfter_.erase(found);
  }
  return book.lastSaved;
}

int16_t RecordingManager::close(void* block, const SessionKey& key, Session& session,
                                uint16_t* dataLength, void* data, void* keyBuffer,
                                uint16_t keyLength, int16_t keyNumber) {
  BookRecord& book = books_[session.book];
  if (session.unrecorded) return status::ReportNotWritten;
  // No book is written before every backup of the run is safe on disk.
  if (mode_ == Mode::Run && session.changes && !settleBackups())
    return status::BackupNotWritten;
  const long count = entryCount(block);
  // The session's rows go to changes.csv, and to disk, once the engine has
  // written the book's changes into its transaction and before it makes
  // them durable, so a book saved always has its rows. progress.log says
  // where they begin and end, so that the next command can cut them back
  // should the run stop before the book is saved. A preview, which saves
  // nothing, writes them first.
  reportfolder::Tally tally{};
  std::string rowsFailure;
  const auto writeRows = [&] {
    try {
      changes_.add(*session.changes, tally);
      ledger_.rows(book.role, changes_.size(), changes_.rows());
    } catch (const std::exception& error) {
      rowsFailure = error.what();
    } catch (...) {
      rowsFailure = "unknown failure";
    }
  };
  bool rowsToWrite = false;
  if (session.changes) {
    try {
      ledger_.session(book.role, changes_.size(), changes_.rows(), hashBeforeSession(session.book));
      rowsToWrite = true;
    } catch (const std::exception& error) {
      rowsFailure = error.what();
    }
  }
  bool awaited = false;
  const auto awaitRows = [&]() -> int16_t {
    if (std::exchange(rowsToWrite, false)) writeRows();
    if (!awaited && mode_ == Mode::Run && rowsFailure.empty() && session.changes && onProgress) {
      book.saving = true;  // the interim summary says so from here on
      onProgress();
    }
    awaited = true;
    return rowsFailure.empty() ? rm::status::Success : status::ReportNotWritten;
  };
  int16_t status = mode_ == Mode::Preview ? awaitRows() : rm::status::Success;
  if (status == rm::status::Success) {
    // A preview ends every session without writing: the engine drops it.
    const uint16_t ending = mode_ == Mode::Preview ? rm::op::Discard : rm::op::Close;
    const std::function<int16_t()> gate = awaitRows;
    committing_ = &gate;
    status = engine_.call(ending, block, data, dataLength, keyBuffer, keyLength, keyNumber);
    committing_ = nullptr;
  }
  book.saving = false;
  // A Close with nothing to write has not asked for them. Should they fail
  // then, the book was closed as it was.
  if (awaitRows() != rm::status::Success) {
    problems_.push_back(book.role + " book " + book.path +
                        ": its changes could not be written to the report, so they were not "
                        "saved: " + rowsFailure);
    tally = {};
  }
  if (status != rm::status::Success) {
    if (session.changes) {
      changes_.takeBack();
      book.unsaved = true;
      try {
        ledger_.dropped(book.role);
      } catch (const std::exception&) {
        // The next command finds the book as it was and cuts the rows back.
      }
    }
    return status;
  }
  return closed(key, session, tally, count);
}

int16_t RecordingManager::closed(const SessionKey& key, Session& session,
                                 const reportfolder::Tally& tally, long count) {
  BookRecord& book = books_[session.book];
  for (std::size_t i = 0; i < reportfolder::kChangeKinds; ++i) book.tally[i] += tally[i];
  book.entriesAfter = count;
  const bool changed = session.changes != nullptr;
  if (changed) {
    book.unsaved = false;
    book.backupSinceSave = false;
    try {
      ledger_.saved(book.role);
    } catch (const std::exception&) {
      // The next command finds the book changed and keeps the rows.
    }
  }
  if (mode_ == Mode::Run && changed) {
    hashesAfter_[session.book] = reportfolder::hashBook(book.path);
  }
  sessions_.erase(key);
  if (onProgress && changed) onProgress();
  return rm::status::Success;
}

}  // namespace varnok::report
