// A run's reconciliation: the two books as they are before the run, read
// once more before its first Open, reconciled on the run's date.
#include <vector>

#include "booktool/book_tool.h"
#include "conversion/date_check.h"
#include "gunbook/myroutines.h"
#include "gunbook/windows1252.h"
#include "report/reconciliation.h"
#include "report/run_report.h"

namespace varnok::report {

void RunReport::reconcileBefore(const conversion::FormValues& form, rm::RecordManager& engine) {
  if (!conversion::isValidDate(form.conversionDate)) {
    setReconciliation({}, "  not made: the conversion date \"" + form.conversionDate +
                              "\" is no day of the calendar\n");
    return;
  }
  std::vector<gunbook::GunRecord> books[2];
  const std::string* folders[2] = {&form.oldBookFolder, &form.newBookFolder};
  const char* roles[2] = {"old", "new"};
  for (int i = 0; i < 2; ++i) {
    const auto outcome = booktool::readEntries(engine, *folders[i], books[i]);
    if (!outcome.ok) {
      setReconciliation({}, std::string("  not made: the ") + roles[i] +
                                " book could not be read: " + outcome.problem + "\n");
      return;
    }
  }
  const Reconciliation reconciliation =
      reconcile(books[0], books[1], gunbook::bookDateFromFormDate(form.conversionDate),
                gunbook::toWindows1252(form.newBookPrefix));
  setReconciliation(reconciliationText(reconciliation), report::reconciliationSummary(reconciliation));
}

}  // namespace varnok::report
