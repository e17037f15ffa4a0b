// The count on the shelf as the front ends make it: a count file against the
// old book read through the engine.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "proof/shelf_count.h"
#include "recordmanager/record_manager.h"

namespace varnok::report {

// The count in the file `countFile` against the old book in `oldFolder` (a
// folder as typed) on `bookDate`, as `varnok-cli reconcile --count` and the
// window make it: the count, or why it could not be made ("cannot read the
// count file F", "the count file F, <why>", or why the book cannot be
// read). The book is read and never written.
struct ShelfCountOutcome {
  std::optional<proof::ShelfCount> count;
  std::string problem;
};
ShelfCountOutcome countShelfFile(rm::RecordManager& engine, const std::string& countFile,
                                 std::string_view oldFolder, std::string_view bookDate);

}  // namespace varnok::report
