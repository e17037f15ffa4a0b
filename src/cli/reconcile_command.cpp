// `varnok-cli reconcile`: whether a pair of books reconciles on a conversion
// date. Both books are read and neither is ever written.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "booktool/book_tool.h"
#include "cli/commands.h"
#include "cli/date_shape.h"
#include "conversion/date_check.h"
#include "conversion/input_check.h"
#include "gunbook/myroutines.h"
#include "gunbook/windows1252.h"
#include "recordmanager/record_manager.h"
#include "report/reconciliation.h"

namespace varnok::cli {
namespace {

struct ReconcileOptions {
  std::string oldFolder;
  std::string newFolder;
  std::string date;
  std::string prefix;
};

void refuse(const std::string& problem, int status = kRefusedExit) {
  std::cerr << "varnok-cli reconcile: " << problem << '\n';
  setExitStatus(status);
}

void runReconcile(const ReconcileOptions& options) {
  if (!conversion::isValidDate(options.date))
    return refuse("the date " + options.date + " is not a day of the calendar");
  if (const std::string what = conversion::unstorableCharacter(options.prefix); !what.empty())
    return refuse("the prefix holds " + what + ", which a gun book cannot store", kUsageExit);
  settleStoppedRuns();
  std::vector<gunbook::GunRecord> oldBook, newBook;
  for (const auto& [folder, entries] : {std::pair{&options.oldFolder, &oldBook},
                                        std::pair{&options.newFolder, &newBook}}) {
    const auto outcome = booktool::readEntries(rm::bookEngine(), *folder, *entries);
    if (!outcome.ok) return refuse(outcome.problem);
  }
  const report::Reconciliation reconciliation =
      report::reconcile(oldBook, newBook, gunbook::bookDateFromFormDate(options.date),
                        gunbook::toWindows1252(options.prefix));
  std::cout << report::reconciliationText(reconciliation) << std::flush;
  setExitStatus(reconciliation.hasDiscrepancy() ? kDiscrepancyExit : kSuccessExit);
}

}  // namespace

void addReconcileCommand(CLI::App& app) {
  auto options = std::make_shared<ReconcileOptions>();
  CLI::App* command = app.add_subcommand(
      "reconcile",
      "Check that the guns in the store at the end of the date according to the old book are "
      "the guns the new book carries over, and print what does not match. Neither book is "
      "changed. Exit status 5 when the books do not reconcile.");
  command->add_option("--old", options->oldFolder, "Old gun book folder")->required();
  command->add_option("--new", options->newFolder, "New gun book folder")->required();
  command
      ->add_option("--date", options->date,
                   "Date to convert (the end of the old gun book), MM/DD/YYYY")
      ->check(CLI::Validator(checkDateShape, "MM/DD/YYYY"))
      ->required();
  command->add_option("--prefix", options->prefix,
                      "Prefix in new gunbook: a new model that is the prefix and the old model "
                      "counts as the same model");
  command->callback([options] { runReconcile(*options); });
}

}  // namespace varnok::cli
