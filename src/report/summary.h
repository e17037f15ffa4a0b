// summary.txt: what a run was asked to do, what it came to, and for each
// book its entries, its hashes before and after and its backup.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "conversion/converter.h"
#include "conversion/form_values.h"
#include "report/recording_manager.h"

namespace varnok::report {

inline const std::string kNoCheck;

struct SummaryFacts {
  const char* kind;  // "convert", "fix", "preview", "import"
  bool preview;
  const std::string& inputs;
  std::chrono::system_clock::time_point started, ended;
  bool finished;  // false: the run is under way, or was ended by Abort, a crash or a kill
  const std::string& outcome;
  int ignoredReports;
  const std::vector<BookRecord>& books;
  long changeRows;
  const std::vector<std::string>& problems;
  const std::string& reconciliation;  // a few lines; empty when none was made
  // Stock numbers of the entries whose model the prefix cuts (or would).
  const std::vector<std::string>& cutModels;
  // The check of the books after the run; empty (no section) for an import.
  const std::string& check = kNoCheck;
};

// The summary's lines on the run's inputs.
std::string formInputsText(RunKind kind, Mode mode, const conversion::FormValues& form);
std::string importInputsText(const std::string& folder, const std::string& csvFile);
// What the converter's run came to, in words.
std::string outcomeText(const conversion::Converter& converter);

// What the inspector's pack names beside the licensees, when the operator
// gives it: both licence numbers (checked, in their hyphened form) and the
// operator's name.
struct LicenceDetails {
  std::string previousLicence, newLicence, operatorName;
  bool empty() const { return previousLicence.empty() && newLicence.empty() && operatorName.empty(); }
};
// The summary's input lines for the details given, one each:
// "  previous licence number: ...", "  new licence number: ...", "  operator: ...".
std::string licenceDetailsText(const LicenceDetails& details);

// The whole summary. A finished run's books are hashed as they are now.
std::string summaryText(const SummaryFacts& facts);

}  // namespace varnok::report
