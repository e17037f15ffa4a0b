// `varnok-cli undo REPORT_FOLDER`: both books of a run put back from its
// backups in one step, or neither.
#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "recordmanager/record_manager.h"
#include "reportfolder/report_folder.h"
#include "restore/run_undo.h"

namespace varnok::cli {
namespace {

struct UndoOptions {
  std::string run;
  std::string reportDir;
};

void runUndo(const UndoOptions& options) {
  // A half-done undo of the reports folder is rolled back first.
  settleStoppedRuns(options.reportDir);
  std::filesystem::path reports;
  try {
    reports = reportsFolder(options.reportDir);
  } catch (const std::exception& error) {
    std::cerr << "varnok-cli undo: " << error.what() << "; give --report-dir" << std::endl;
    return setExitStatus(kRefusedExit);
  }
  restore::UndoneRun undone;
  const auto outcome = restore::undoRun(rm::bookEngine(), options.run, reports,
                                        std::chrono::system_clock::now(), undone);
  if (!outcome.ok) {
    std::cerr << "varnok-cli undo: " << outcome.problem << std::endl;
    if (!undone.reportFolder.empty()) sayWhereTheReportIs(undone.reportFolder);
    return setExitStatus(kRefusedExit);
  }
  for (const restore::UndoneBook& book : undone.books) {
    std::cout << "the " << book.role << " book " << book.book.string() << " is back as it was "
              << "before the run (SHA-256 " << book.restoredSha256 << "); as the run left it, it "
              << "is kept as " << book.kept.string() << " (SHA-256 " << book.replacedSha256
              << ")\n";
  }
  sayWhereTheReportIs(undone.reportFolder);
}

}  // namespace

void addUndoCommand(CLI::App& app) {
  auto options = std::make_shared<UndoOptions>();
  CLI::App* undo = app.add_subcommand(
      "undo",
      "Undo a whole run: put every book of the run whose report is REPORT_FOLDER back from the "
      "run's backups in one step, only while each is still exactly as the run left it (its "
      "SHA-256 is the summary's \"SHA-256 after\"); otherwise refused, naming the book that "
      "changed since. Both books or neither: an undo that fails, or is killed, half-way is "
      "rolled back (by the next command that uses the reports folder). What it replaces is "
      "kept in a report folder of its own (replaced-old-FILE3.DAT, replaced-new-FILE3.DAT)");
  undo->add_option("REPORT_FOLDER", options->run, "The run's report folder")->required();
  addReportDirOption(*undo, options->reportDir);
  undo->callback([options] { runUndo(*options); });
}

}  // namespace varnok::cli
