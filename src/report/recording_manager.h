// A record manager that keeps a run's record: it passes every call on to
// the book engine and notes what passes.
//
// - The first time the run opens a book (and again whenever the file has
//   changed since), a byte-exact backup copy of the book file goes into the
//   report folder while the engine holds the book, before anything can be
//   written to it. When the copy cannot be made, the Open is refused with
//   BackupNotWritten and the book left closed as it was. The copy's flush
//   and hash go on beside the run; the first Close that would write a book
//   waits for them, and should a flush fail, every Close that would write
//   is refused with BackupNotWritten.
// - Every Update, Delete and Insert is noted with the entry before and after,
//   as the engine tells its observer (rm::BookObserver). A session's changes
//   reach changes.csv when its Close succeeds; a Discard, or a refused
//   Close that is then dropped, leaves none. The rows are written and
//   flushed once the engine has the book's changes in its transaction and
//   before it makes them durable (committing). When the
//   rows cannot be written, the Close is refused with ReportNotWritten and
//   the book kept open with its changes, as for any refused Close (a Close
//   that had nothing to write has closed the book as it was; the problem
//   is noted all the same).
// - In a preview every Close becomes a Discard that answers as a Close
//   would: the passes run as they would, the report says what they would
//   change, and no book file is written. No backup is taken.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "recordmanager/file_identity.h"
#include "recordmanager/record_manager.h"
#include "reportfolder/changes.h"
#include "reportfolder/file_copy.h"
#include "reportfolder/report_dir.h"
#include "reportfolder/run_ledger.h"

namespace varnok::report {

// The statuses a RecordingManager answers of its own, beside the engine's:
// the book's backup copy, or the report of the book's changes, could not be
// written, so the book was not opened (or not closed) to keep it as it was;
// or a preview found the book's last save cut short (its Open would roll
// the book back), so it did not open it.
namespace status {
inline constexpr int16_t BackupNotWritten = 190;
inline constexpr int16_t ReportNotWritten = 191;
inline constexpr int16_t SaveCutShort = 192;
}  // namespace status

enum class RunKind { Convert, Fix, Import };
enum class Mode { Run, Preview };

// One book of the run and what became of it.
struct BookRecord {
  BookRecord(std::string role, std::string path) : role(std::move(role)), path(std::move(path)) {}

  std::string role;  // "old", "new", or "book" for an import
  std::string path;  // the book file
  bool opened = false;
  long entriesBefore = -1;  // when first opened
  long entriesAfter = -1;   // at its last Close
  std::string sha256Before;  // of the backup, or of the file in a preview
  std::string sha256After;   // once the run has ended (finishBooks)
  std::vector<reportfolder::CopiedFile> backups;  // the first is the book before the run
  reportfolder::Tally tally{};                    // entries changed, by kind of change
  bool saving = false;    // a Close is making its changes durable
  bool unsaved = false;   // its last Close was refused: its changes were dropped
  // The book's SHA-256 as the run last knew it (its backup's, or after its
  // last save), and whether a backup was taken since that save.
  std::string lastSaved;
  bool backupSinceSave = false;

  // The file as it was when last copied.
  rm::FileId fileAtBackup;
  off_t sizeAtBackup = -1;
  int64_t modifiedAtBackup = 0;  // nanoseconds
};

// Registered with the book engine as its observer while it lives.
class RecordingManager final : public rm::RecordManager, private rm::BookObserver {
 public:
  RecordingManager(rm::RecordManager& engine, RunKind kind, Mode mode,
                   const reportfolder::ReportDir& folder, reportfolder::ChangesFile& changes,
                   reportfolder::RunLedger& ledger, std::vector<BookRecord> books);
  ~RecordingManager() override;

  int16_t call(uint16_t operation, void* positionBlock, void* dataBuffer, uint16_t* dataLength,
               void* keyBuffer, uint16_t keyLength, int16_t keyNumber) override;
  // The engine's texts, and ours for the statuses above.
  const char* statusText(int16_t status) const override;

  const std::vector<BookRecord>& books() const { return books_; }
  // Why a backup or the change report could not be written, one line each.
  const std::vector<std::string>& problems() const { return problems_; }
  // Called after each backup, as each Close that reaches changes.csv begins
  // to make its book durable, and once it has.
  std::function<void()> onProgress;

  // Waits until every backup taken so far is on disk and hashed. False,
  // with the problem noted, when one could not be flushed; from then on
  // every Close that would write is refused with BackupNotWritten.
  bool settleBackups();
  // Once the run has ended: each opened book's SHA-256 as the run left it.
  void finishBooks();

 private:
  struct Session {
    std::size_t book = 0;
    std::unique_ptr<reportfolder::SessionChanges> changes;  // made at the first change
    bool unrecorded = false;  // a change could not be noted: the Close is refused
  };
  using SessionKey = std::pair<uint32_t, uint64_t>;

  int16_t open(void* block, void* dataBuffer, uint16_t* dataLength, void* keyBuffer,
               uint16_t keyLength, int16_t keyNumber);
  int16_t close(void* block, const SessionKey& key, Session& session, uint16_t* dataLength,
                void* dataBuffer, void* keyBuffer, uint16_t keyLength, int16_t keyNumber);
  // What the engine tells of the sessions (rm::BookObserver).
  void changed(const void* block, const uint8_t* before, const uint8_t* after) noexcept override;
  int16_t committing(const void* block) override;
  // The bookkeeping of a Close that went through.
  int16_t closed(const SessionKey& key, Session& session, const reportfolder::Tally& tally,
                 long count);
  bool protect(std::size_t index, const void* block);
  std::size_t bookOf(const std::string& path);
  long entryCount(void* block);
  reportfolder::Change changeFor(const uint8_t* before, const uint8_t* after,
                                 const BookRecord& book) const;
  Session* sessionOf(const void* block, SessionKey& key);
  // The book's SHA-256 before the session that is being closed.
  std::string hashBeforeSession(std::size_t index);

  rm::RecordManager& engine_;
  RunKind kind_;
  Mode mode_;
  const reportfolder::ReportDir& folder_;
  reportfolder::ChangesFile& changes_;
  reportfolder::RunLedger& ledger_;
  std::vector<BookRecord> books_;
  std::map<SessionKey, Session> sessions_;
  std::vector<std::string> problems_;
  // A backup is copied at once, under the book's lock; its flush and hash
  // go on beside the run until the first Close that writes a book.
  struct PendingBackup {
    std::size_t book, backup;
    std::future<std::string> sha256;
  };
  std::vector<PendingBackup> pendingBackups_;
  bool backupFailed_ = false;
  // The hash of each book after its last Close that wrote it.
  std::map<std::size_t, reportfolder::BookHash> hashesAfter_;
  // What the engine asks once the Close being made has written its
  // changes into the book's transaction.
  const std::function<int16_t()>* committing_ = nullptr;
  rm::BookObservation observation_;
};

}  // namespace varnok::report
