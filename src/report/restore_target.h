// The book file a restore replaces: where it really is (the file a linked
// FILE3.DAT leads to), whether there is one, and the owner, group and mode
// the restored book keeps; and the hold a restore takes on a book file the
// book engine will not open.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace varnok::report {

struct RestoreTarget {
  std::filesystem::path book;  // <folder>/FILE3.DAT, absolute
  std::filesystem::path file;  // what is replaced: `book`, or the file it links to
  bool present = false;        // a file is there to replace
  uid_t uid = 0;               // to keep: the replaced file's owner, group and mode
  gid_t gid = 0;
  mode_t mode = 0;
  bool keepOwner = false;      // false: the restored book is the restoring user's
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

}  // namespace varnok::report
