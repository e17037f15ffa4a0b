// The books as a run would leave them, worked out from the books before it
// and the rows of its changes.csv: what a preview checks, since it writes
// no book.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "gunbook/gun_record.h"

namespace varnok::reportfolder {

// Applies every row of `changesCsv` (the "old" and "new" books' rows) to
// the entries of the two books, which end in stock-number order. Each row's
// value before must be what the entry holds then. Empty when every row
// applied, else why not (the line of changes.csv), with the books then in
// no state to check (and left empty).
std::string applyChanges(std::string_view changesCsv, std::vector<gunbook::GunRecord>& oldBook,
                         std::vector<gunbook::GunRecord>& newBook);

}  // namespace varnok::reportfolder
