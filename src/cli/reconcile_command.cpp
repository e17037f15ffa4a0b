// `varnok-cli reconcile`: whether a pair of books reconciles on a conversion
// date; with --converted, whether a converted pair proves the hand-over;
// with --count, whether a count of the shelf matches the old book. The books
// are read and never written.
#include <array>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "booktool/book_tool.h"
#include "cli/commands.h"
#include "cli/date_shape.h"
#include "conversion/date_check.h"
#include "conversion/input_check.h"
#include "gunbook/date_and_number.h"
#include "gunbook/windows1252.h"
#include "recordmanager/record_manager.h"
#include "proof/converted_check.h"
#include "proof/reconciliation.h"
#include "proof/shelf_count.h"
#include "report/shelf_count_file.h"

namespace varnok::cli {
namespace {

struct ReconcileOptions {
  std::string oldFolder;
  std::string newFolder;
  std::string date;
  std::string prefix;
  bool converted = false;
  std::array<std::string, 6> previousLicensee, newLicensee;
  bool keepReceivedFrom = false, keepDateIn = false;
  std::string countFile;
};

void refuse(const std::string& problem, int status = kRefusedExit) {
  std::cerr << "varnok-cli reconcile: " << problem << '\n';
  setExitStatus(status);
}


// Empty when every text a book must compare with can be book text, else
// which option holds what.
std::string unstorableOption(const ReconcileOptions& options) {
  if (std::string what = conversion::unstorableCharacter(options.prefix); !what.empty())
    return "the prefix holds " + what;
  for (int i = 0; i < 6; ++i) {
    for (const auto& [side, licensee] : {std::pair{"previous", &options.previousLicensee},
                                         std::pair{"new", &options.newLicensee}}) {
      if (std::string what = conversion::unstorableCharacter((*licensee)[i]); !what.empty())
        return std::string("--") + side + "-" + kLicenseeParts[i] + " holds " + what;
    }
  }
  return {};
}

bool readBook(const std::string& folder, std::vector<gunbook::GunRecord>& entries) {
  const auto outcome = booktool::readEntries(rm::bookEngine(), folder, entries);
  if (!outcome.ok) refuse(outcome.problem);
  return outcome.ok;
}

void runCount(const ReconcileOptions& options, const std::string& bookDate) {
  const report::ShelfCountOutcome outcome =
      report::countShelfFile(rm::bookEngine(), options.countFile, options.oldFolder, bookDate);
  if (!outcome.count) return refuse(outcome.problem);
  std::cout << proof::shelfCountText(*outcome.count) << std::flush;
  setExitStatus(outcome.count->differences() > 0 ? kCountDiffersExit : kSuccessExit);
}

void runConvertedCheck(const std::vector<gunbook::GunRecord>& oldBook,
                       const std::vector<gunbook::GunRecord>& newBook,
                       const ReconcileOptions& options, const std::string& bookDate) {
  proof::ConversionTerms terms;
  terms.bookDate = bookDate;
  for (int i = 0; i < 6; ++i) {
    terms.previousLicensee[i] = gunbook::toWindows1252(options.previousLicensee[i]);
    terms.newLicensee[i] = gunbook::toWindows1252(options.newLicensee[i]);
  }
  terms.prefix = gunbook::toWindows1252(options.prefix);
  terms.keepReceivedFrom = options.keepReceivedFrom;
  terms.keepDateIn = options.keepDateIn;
  const proof::ConvertedCheck check = proof::checkConvertedBooks(oldBook, newBook, terms);
  std::cout << proof::convertedCheckText(check) << std::flush;
  setExitStatus(check.proven() ? kSuccessExit : kNotProvenExit);
}

void runReconcile(const ReconcileOptions& options) {
  if (!conversion::isValidDate(options.date))
    return refuse("the date " + options.date + " is not a day of the calendar");
  if (const std::string what = unstorableOption(options); !what.empty())
    return refuse(what + ", which a gun book cannot store", kUsageExit);
  const std::string bookDate = gunbook::bookDateFromFormDate(options.date);
  settleStoppedRuns();
  if (!options.countFile.empty()) return runCount(options, bookDate);
  if (options.newFolder.empty()) return refuse("--new is required", kUsageExit);
  std::vector<gunbook::GunRecord> oldBook, newBook;
  if (!readBook(options.oldFolder, oldBook) || !readBook(options.newFolder, newBook)) return;
  if (options.converted) return runConvertedCheck(oldBook, newBook, options, bookDate);
  const proof::Reconciliation reconciliation =
      proof::reconcile(oldBook, newBook, bookDate, gunbook::toWindows1252(options.prefix));
  std::cout << proof::reconciliationText(reconciliation) << std::flush;
  setExitStatus(reconciliation.hasDiscrepancy() ? kDiscrepancyExit : kSuccessExit);
}

}  // namespace

void addReconcileCommand(CLI::App& app) {
  auto options = std::make_shared<ReconcileOptions>();
  CLI::App* command = app.add_subcommand(
      "reconcile",
      "Check that the guns in the store at the end of the date according to the old book are "
      "the guns the new book carries over, and print what does not match: before the "
      "conversion, or with --converted after it, or against a count of the shelf with --count. "
      "Neither book is changed. Exit status 5 when the books do not reconcile, 6 when the "
      "converted books do not prove the hand-over, 7 when the count differs from the book.");
  command->add_option("--old", options->oldFolder, "Old gun book folder")->required();
  CLI::Option* newBook =
      command->add_option("--new", options->newFolder, "New gun book folder (not with --count)");
  command
      ->add_option("--date", options->date,
                   "Date to convert (the end of the old gun book), MM/DD/YYYY")
      ->check(CLI::Validator(checkDateShape, "MM/DD/YYYY"))
      ->required();
  command->add_option("--prefix", options->prefix,
                      "Prefix in new gunbook: a new model that is the prefix and the old model "
                      "counts as the same model");
  CLI::Option* converted = command->add_flag(
      "--converted", options->converted,
      "The books are converted already (by Varnok or by hand): prove the hand-over on the date "
      "from the old book to the new, with the licensees, the prefix and the options the "
      "conversion was given");
  for (int i = 0; i < 6; ++i) {
    command->add_option(std::string("--previous-") + kLicenseeParts[i], options->previousLicensee[i],
                        std::string("Previous gun licensee: ") + kLicenseePartNames[i])
        ->needs(converted)
        ->group("Previous gun licensee (with --converted)");
  }
  for (int i = 0; i < 6; ++i) {
    command->add_option(std::string("--new-") + kLicenseeParts[i], options->newLicensee[i],
                        std::string("New gun licensee: ") + kLicenseePartNames[i])
        ->needs(converted)
        ->group("New gun licensee (with --converted)");
  }
  command->add_flag("--keep-received-from", options->keepReceivedFrom,
                    "The conversion left the received-from details in the new book")
      ->needs(converted)
      ->group("Options (with --converted)");
  command->add_flag("--keep-date-in", options->keepDateIn,
                    "The conversion saved the original date-in in the new book")
      ->needs(converted)
      ->group("Options (with --converted)");
  command
      ->add_option("--count", options->countFile,
                   "A count of the guns on the shelf: serial or stock numbers, one a line or "
                   "one column of a CSV file (the column headed Field01, serial or serial "
                   "number, else Field00, stock or stock number, else the first); compared "
                   "with the guns in the store at the end of the date according to the old "
                   "book")
      ->excludes(converted)
      ->excludes(newBook);
  command->callback([options] { runReconcile(*options); });
}

}  // namespace varnok::cli
