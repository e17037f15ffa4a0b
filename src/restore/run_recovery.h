// The next command after a run that was stopped before its end (a crash,
// a kill, a power cut) puts its report right before doing anything else.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "recordmanager/record_manager.h"

namespace varnok::restore {

// Puts right every report folder in `reports` whose run was stopped before
// its end and whose process is gone: changes.csv cut back to the rows of
// the changes the books hold, summary.txt marked "CUT SHORT" with what was
// and was not saved. Hidden folders of reports never named are removed.
// Books are opened through `engine` (and left unchanged but for the
// engine's own rollback of a save cut short); a folder whose book is open
// elsewhere is left for a later command. Returns one line per folder put
// right or left, for the front end to show; never throws.
std::vector<std::string> recoverInterruptedRuns(const std::filesystem::path& reports,
                                                rm::RecordManager& engine);

}  // namespace varnok::restore
