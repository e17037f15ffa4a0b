// A conversion's report ends with the check of the converted books: a run's
// on the books as it left them, read through the book engine once it has
// ended; a preview's on the books as it would leave them: the books as they
// are (a preview wrote none) with the rows of its changes.csv applied, so
// that what the preview recorded is what gets checked.
#include <exception>
#include <vector>

#include "booktool/book_tool.h"
#include "conversion/date_check.h"
#include "gunbook/date_and_number.h"
#include "gunbook/windows1252.h"
#include "proof/converted_check.h"
#include "report/run_report.h"
#include "reportfolder/changes_applied.h"

namespace varnok::report {

void RunReport::prepareCheck(const conversion::FormValues& form, rm::RecordManager& engine) {
  if (kind_ == RunKind::Fix) {
    checkSummary_ =
        "  not made: a late-disposal transfer is no conversion; check the pair with "
        "varnok-cli reconcile --converted, giving the conversion's prefix and options\n";
    return;
  }
  if (!conversion::isValidDate(form.conversionDate)) {
    checkSummary_ = "  not made: the conversion date \"" + form.conversionDate +
                    "\" is no day of the calendar\n";
    return;
  }
  proof::ConversionTerms terms;
  terms.bookDate = gunbook::bookDateFromFormDate(form.conversionDate);
  for (std::size_t i = 0; i < 6; ++i) {
    terms.previousLicensee[i] = gunbook::toWindows1252(form.previousLicensee[i]);
    terms.newLicensee[i] = gunbook::toWindows1252(form.newLicensee[i]);
  }
  terms.prefix = gunbook::toWindows1252(form.newBookPrefix);
  terms.keepReceivedFrom = form.keepReceivedFrom;
  terms.keepDateIn = form.keepDateIn;
  checkTerms_ = std::move(terms);
  checkedFolders_[0] = form.oldBookFolder;
  checkedFolders_[1] = form.newBookFolder;
  checkEngine_ = &engine;
  checkSummary_ = "  made once the run has ended\n";
}

void RunReport::checkConvertedBooks() {
  if (!checkTerms_ || checked_) return;
  checked_ = true;
  std::vector<gunbook::GunRecord> books[2];
  for (int i = 0; i < 2; ++i) {
    const auto outcome = booktool::readEntries(*checkEngine_, checkedFolders_[i], books[i]);
    if (!outcome.ok) {
      checkSummary_ = std::string("  not made: the ") + (i == 0 ? "old" : "new") +
                      " book could not be read: " + outcome.problem + "\n";
      return;
    }
  }
  if (mode_ == Mode::Preview) {
    std::string why;
    try {
      why = reportfolder::applyChanges(dir_.readFile("changes.csv"), books[0], books[1]);
    } catch (const std::exception& error) {
      why = error.what();  // the summary is written all the same
    }
    if (!why.empty()) {
      checkSummary_ = "  not made: the changes the preview recorded do not apply to the books "
                      "as they are: " + why + "\n";
      return;
    }
  }
  const proof::ConvertedCheck check = proof::checkConvertedBooks(books[0], books[1], *checkTerms_);
  check_ = proof::convertedCheckText(check);
  checkSummary_ = proof::convertedCheckSummary(check);
  checkVerdict_ = proof::convertedCheckVerdict(check);
}

}  // namespace varnok::report
