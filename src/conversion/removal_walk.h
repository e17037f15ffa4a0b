// The removal walk over key 1 (DateIn) that both book passes make.
//
// After a deletion the walk starts again with a Get Greater or Equal, as the
// record manager asks of a caller after a Delete, but from the deleted
// entry's own DateIn rather than from the walk's first start value: every
// entry before that date was judged already and nothing changed it, so the
// book ends the same and the walk stays linear. The few entries on that date
// are read again.
//
// A delete that the record manager refuses and the operator lets go leaves
// its entry in place. It is remembered by its unique Field00, so that a
// later restart on the same date walks past it instead of asking again.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

#include "errortrap/trap.h"
#include "gunbook/book_cursor.h"
#include "recordmanager/record_manager.h"

namespace varnok::conversion {

class RemovalWalk {
 public:
  // The walk's statements run under the trap of the pass that makes it.
  RemovalWalk(gunbook::BookCursor& cursor, int16_t& status, rm::RecordManager& recordManager,
              errortrap::Trap& T)
      : cursor_(cursor), status_(status), recordManager_(recordManager), T(T) {}

  // Positions on the first entry whose DateIn is at or past `from`.
  void start(const std::string& from);
  // True while the walk stands on an entry.
  bool onEntry() const { return status_ == 0; }
  // False for an entry whose refused delete was let go.
  bool mayRemove() const;
  // Deletes the current entry; true when it is gone.
  bool remove();
  // Goes on to the next entry to judge.
  void next();

 private:
  gunbook::BookCursor& cursor_;
  int16_t& status_;
  rm::RecordManager& recordManager_;
  errortrap::Trap& T;
  std::unordered_set<std::string> passedOver_;
  bool restart_ = false;
  std::string restartFrom_;
};

}  // namespace varnok::conversion
