// The plain walk over a book by one key: Get Greater or Equal from the
// lowest value, then Get Next, until a read gives a non-zero status (end of
// the book or an error alike, without a message).
#pragma once

#include <cstdint>
#include <functional>

#include "errortrap/trap.h"
#include "gunbook/book_cursor.h"
#include "recordmanager/record_manager.h"

namespace varnok::conversion {

// Calls `visit` on each entry of the book open on `cursor`, in the order of
// key `keyNumber`, with the entry in cursor.Record. Each read runs under
// `trap` and leaves its status in `status`; `visit` may rewrite the entry
// in place as long as it leaves the key's own field alone.
void scanKey(gunbook::BookCursor& cursor, int16_t& status, rm::RecordManager& recordManager,
             int16_t keyNumber, errortrap::CallerTrap trap, const std::function<void()>& visit);

}  // namespace varnok::conversion
