// The record manager call: the one entry point through which the program
// reads and changes gun book files (doc/book-format.md describes the file).
//
// A call takes an operation, a 128-byte position block, a data buffer with a
// pointer to its 16-bit length, a key buffer with its length, and a key
// number, and returns a 16-bit status (0 is success; see status.h). Every
// status other than 0 leaves the book's entries as they were.
//
//   Open (0)        key buffer: the book file's path, ended by a blank or a
//                   NUL (blanks inside the path belong to it; '\' and '/'
//                   both separate folders). The position block must hold 128
//                   blanks or any block that names no open book (else 85);
//                   it then names the open book. Key number and data buffer
//                   are not used. Refusals: 11, 12, 46, 30, 2, and 85 when
//                   the book is open already, here or in another process.
//   Close (1)       makes every change since Open durable, in one step, and
//                   closes the book. On failure (18, 2, 85) the book stays
//                   open with its changes, so the close can be tried again.
//   Discard (21)    closes the book and drops every change since Open.
//   Insert (2)      adds the record (data length exactly 376, else 22); it
//                   becomes current in the key of keyNumber (key 0 when that
//                   is no key). 5 on a Field00 already in the book.
//   Update (3)      replaces the current record (length 376, else 22); 8 with
//                   no current record, 5 when the new Field00 is another
//                   record's. The record keeps its insertion place among
//                   duplicates. When the key being walked changes, the
//                   position follows the record.
//   Delete (4)      removes the current record (8 when there is none). Its
//                   place is kept: a Get Next returns the record that
//                   followed it; Update and Delete then answer 8.
//   Get Next (6)    the record after the current one (or after the deleted
//                   one's place) in the current key's order; 8 with no
//                   position, 7 on another key than the position's, 9 at
//                   the end.
//   Get Greater or Equal (9)
//                   the first record whose key is at or past the start value
//                   (the key's width of bytes at the start of the key
//                   buffer); a start value of all blanks gives the first
//                   record of that key even when stored keys hold bytes
//                   below the blank. 9 when there is none.
//   Stat (15)       fills 210 bytes (length at least 210, else 22) and sets
//                   the length to 210: record length 376 at 0-1, page size
//                   at 2-3, number of keys at 4, record count at 6-9 (32-bit
//                   little-endian), the rest zero. Counts the open session.
//   Create (14)     makes an empty book at the path in the key buffer; 59
//                   when anything is already there, 12 when its folder is
//                   missing. The position block is not used; nothing stays
//                   open.
//
// Get operations need a data length of at least 376 (else 22) and a key
// buffer as wide as the key (else 21); key numbers other than 0-3 answer 6.
// They copy the record into the data buffer, set the length to 376 and
// write the record's key value at the start of the key buffer. Insert and
// Update leave the key buffer alone.
//
// Any operation but Open and Create on a block that names no open book
// (blanks, a closed book's block, garbage, a null pointer) answers 3; an
// unknown operation answers 1.
//
// Keys: 0 on Field00 (unique), 1 on DateIn, 2 on Field01, 3 on Field03
// (duplicates in insertion order). Order is bytewise on the stored bytes.
//
// Calls come from one thread. A book is open in one place at a time: a
// second Open of it in this process answers 85 at once, never waits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "recordmanager/book_format.h"
#include "recordmanager/status.h"

namespace varnok::rm {

inline constexpr std::size_t kPositionBlockLength = 128;
inline constexpr std::size_t kStatBufferLength = 210;
inline constexpr uint16_t kKeyBufferLength = 255;

class RecordManager {
 public:
  virtual ~RecordManager() = default;

  // keyBuffer points at keyLength bytes; positionBlock at 128.
  virtual int16_t call(uint16_t operation, void* positionBlock, void* dataBuffer,
                       uint16_t* dataLength, void* keyBuffer, uint16_t keyLength,
                       int16_t keyNumber) = 0;

  // A short English text for a status this record manager answers: the
  // engine's own (rm::statusText). One in front of the engine that answers
  // statuses of its own names them.
  virtual const char* statusText(int16_t status) const { return rm::statusText(status); }
};

// The process's book engine (the SQLite-backed record manager).
RecordManager& bookEngine();

// While a BookHold lives, a Close or Discard that leaves its book unchanged
// keeps the book open and locked in the engine, and the next Open of that
// same file in this process takes it up again as it was, without reading
// the file a second time. When the last hold ends, every book still kept is
// closed, with nothing written. A run holds its books from their check to
// their passes: each book is read once, and no other program can write to
// it in between. Holds nest; they belong to the calling thread's engine.
class BookHold {
 public:
  BookHold();
  ~BookHold();
  BookHold(const BookHold&) = delete;
  BookHold& operator=(const BookHold&) = delete;
};

// What a layer above the engine hears of the changes made through it: it
// registers one for as long as a BookObservation lives. The engine tells
// it of every session, whoever opened it; the observer keeps what it needs
// per session (sessionNamedBy) and ignores the rest.
class BookObserver {
 public:
  virtual ~BookObserver() = default;

  // An Insert, Update or Delete went through in the session `positionBlock`
  // names: the entry before and after (before is null for an entry added,
  // after for one removed; an Update that changed no byte is told too).
  // The bytes are valid during the call only. Must not throw.
  virtual void changed(const void* positionBlock, const uint8_t* before,
                       const uint8_t* after) noexcept = 0;

  // A Close of that session that writes the book has put its changes into
  // the file's transaction, and they are not yet durable. A status other
  // than 0 refuses the Close with that status, as a failed commit is
  // refused: nothing reaches the file and the book stays open with its
  // changes. A Close that writes nothing, and a Discard, do not ask. The
  // engine writes the book while the observer makes its own record durable.
  virtual int16_t committing(const void* positionBlock) = 0;
};

// Registers `observer` with the engine while it lives; the innermost
// registration is told. Calls come from one thread, as for the engine.
class BookObservation {
 public:
  explicit BookObservation(BookObserver& observer);
  ~BookObservation();
  BookObservation(const BookObservation&) = delete;
  BookObservation& operator=(const BookObservation&) = delete;

 private:
  BookObserver* outer_;
};

// Copies the book file that the open session `positionBlock` names, byte
// for byte as it is on disk, to where `destination` stands, through the
// engine's own handle on it (no other descriptor on a book is opened: its
// close would drop the session's lock). The copy is not flushed. 0, with
// `bytes` set; FileNotOpen when the block names no open book; IoError when
// the book cannot be read, or when the destination cannot be written, with
// `error` then set to the system's errno (0 for a failed read).
int16_t copyOpenBook(const void* positionBlock, int destination, uint64_t& bytes, int& error);

// The SHA-256 of the book file that the open session names, as it is on
// disk, as 64 lower-case hex digits, read through the engine's own handle.
// FileNotOpen or IoError as for copyOpenBook.
int16_t openBookSha256(const void* positionBlock, std::string& sha256);

// The SHA-256 of the book file at `bookFile` (a path, as the key buffer of
// an Open is read), whether or not a session holds it. May be called from
// any thread, beside the engine's sessions: the file is read through a
// handle of the engine whose closing leaves every session's lock in
// place. FileNotFound, AccessDenied or IoError when it cannot be read.
int16_t bookFileSha256(const std::string& bookFile, std::string& sha256);

// True when a save of the book file `bookFile` was cut short (a crash, a
// kill, a power cut) and left its journal beside the book: the next Open
// puts the book back as it was before that save, and removes the journal.
// Lets a caller that must write nothing (a preview) refuse to be the one
// that does.
bool saveCutShortBeside(const std::string& bookFile);

// The session a position block names, as its Open wrote it there: a pair
// no other Open of this process is given. False for a block no Open has
// filled in. For layers in front of the engine that keep something per
// session; it says nothing of whether the session is still open.
bool sessionNamedBy(const void* positionBlock, std::pair<uint32_t, uint64_t>& session);

}  // namespace varnok::rm

// The same call for C callers; it goes to bookEngine().
extern "C" int16_t BTRCALL(uint16_t operation, void* positionBlock, void* dataBuffer,
                           uint16_t* dataLength, void* keyBuffer, uint16_t keyLength,
                           int16_t keyNumber);
