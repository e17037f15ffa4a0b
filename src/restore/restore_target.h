// The book file a restore replaces: where it really is (the file a linked
// FILE3.DAT leads to), whether there is one, and the owner, group and mode
// the restored book keeps; and the hold a restore takes on a book file the
// book engine will not open.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "recordmanager/record_manager.h"
#include "reportfolder/file_copy.h"

namespace varnok::restore {

struct RestoreTarget {
  std::filesystem::path book;  // <folder>/FILE3.DAT, absolute
  std::filesystem::path file;  // what is replaced: `book`, or the file it links to
  bool present = false;        // a file is there to replace
  uid_t uid = 0;               // to keep: the replaced file's owner, group and mode
  gid_t gid = 0;
  mode_t mode = 0;
  bool keepOwner = false;  // false: the restored book is the restoring user's
};

// Finds the book file of `folder`. With no book file, the restored book
// takes the folder's owner and group when root restores it (a book root
// owns is one the store's user cannot open), and a new book's mode. Returns
// why not, naming the file: a folder that is missing, a link that leads
// nowhere, a book file that is no file.
std::string findRestoreTarget(const std::filesystem::path& folder, RestoreTarget& target);

// Gives the new file `file` the target's owner, group and mode, through a
// descriptor of its own. Returns why not.
std::string giveOwnerAndMode(const std::filesystem::path& file, const RestoreTarget& target);

// Has the record manager open the checked copy `copy` of a backup, lying
// in `keyFolder` (as the record manager is given it) as `name`, and drops
// the session at once. Empty when it opened and its bytes are still the
// copy's; else " is not a sound book: ..." or " changed while it was
// checked", to follow the backup's name.
std::string bookCopyProblem(rm::RecordManager& manager, const std::string& keyFolder,
                            std::string_view name, const reportfolder::CopiedFile& copy);

// The book engine's journal beside `book` (or the file it links to): it is
// there while the book is open or after a write was cut short, and could
// be played back into a book put in its place. Empty when there is none.
std::filesystem::path journalBeside(const RestoreTarget& target);

// Makes the folder's entries durable; throws std::system_error.
void flushFolder(const std::filesystem::path& folder);

// An exclusive lock on a book file that the engine refuses to open (damaged,
// empty): the whole range a session's locks lie in, so that a book that some
// other process holds open is refused, and none opens it while the restore
// works. An open file description's lock: no other descriptor's close in
// this process lets go of it.
class UnopenableBookHold {
 public:
  UnopenableBookHold() = default;
  ~UnopenableBookHold();
  UnopenableBookHold(const UnopenableBookHold&) = delete;
  UnopenableBookHold& operator=(const UnopenableBookHold&) = delete;

  // Empty when held; else why not ("book open elsewhere (status 85)" when
  // another holds a lock on it).
  std::string take(const std::filesystem::path& file);
  // Whether `file` is still the file held (not replaced in the meantime).
  bool stillHolds(const std::filesystem::path& file) const;

 private:
  int fd_ = -1;
};

}  // namespace varnok::restore
