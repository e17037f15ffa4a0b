// The removal walk over key 1 (DateIn) that both book passes make.
//
// After a deletion the walk goes on with a Get Next from the deleted entry's
// place, which the record manager keeps: it returns the entry that followed
// the deleted one. A restart with Get Greater or Equal from the walk's
// first start value, or from the deleted entry's DateIn, would meet again
// only entries judged already and kept (nothing changed them, so they are
// kept again), and then go on from the same entry; going on at once judges
// the same entries in the same order, each once, and keeps the walk linear
// however many entries share a date.
//
// A delete that the record manager refuses and the operator lets go leaves
// its entry in place. It is remembered by its unique Field00, so that the
// walk never asks about it again.
#pragma once

#include <cstdint>
#include <source_location>
#include <string>
#include <unordered_set>

#include "errortrap/trap.h"
#include "gunbook/book_cursor.h"
#include "recordmanager/record_manager.h"

namespace varnok::conversion {

class RemovalWalk {
 public:
  // The walk's statements run under the trap of the pass that makes it and
  // are reported at the pass's line that asked for them.
  RemovalWalk(gunbook::BookCursor& cursor, int16_t& status, rm::RecordManager& recordManager,
              errortrap::Trap& T)
      : cursor_(cursor), status_(status), recordManager_(recordManager), T(T) {}

  // Positions on the first entry whose DateIn is at or past `from`.
  void start(const std::string& from,
             std::source_location call = std::source_location::current());
  // True while the walk stands on an entry.
  bool onEntry() const { return status_ == 0; }
  // False for an entry whose refused delete was let go.
  bool mayRemove() const;
  // Deletes the current entry; true when it is gone.
  bool remove(std::source_location call = std::source_location::current());
  // Goes on to the next entry to judge.
  void next(std::source_location call = std::source_location::current());

 private:
  gunbook::BookCursor& cursor_;
  int16_t& status_;
  rm::RecordManager& recordManager_;
  errortrap::Trap& T;
  std::unordered_set<std::string> passedOver_;
};

}  // namespace varnok::conversion
