// Where each run's report goes, and the line that says so.
#include <iostream>

#include "cli/commands.h"
#include "recordmanager/record_manager.h"
#include "reportfolder/report_folder.h"
#include "restore/run_recovery.h"

namespace varnok::cli {

void addReportDirOption(CLI::App& command, std::string& reportDir) {
  command.add_option("--report-dir", reportDir,
                     "Folder for this command's report folder (default: "
                     "$XDG_DATA_HOME/varnok/reports, ~/.local/share/varnok/reports); never "
                     "inside a book's folder")
      ->group("Report");
}

std::filesystem::path reportsFolder(const std::string& reportDir) {
  if (!reportDir.empty()) return reportDir;
  return reportfolder::defaultReportsFolder();
}

void settleStoppedRuns(const std::string& reportDir) {
  try {
    sayStoppedRunsSettled(
        restore::recoverInterruptedRuns(reportsFolder(reportDir), rm::bookEngine()));
  } catch (const std::exception&) {
    // No reports folder to look in: nothing to put right.
  }
}

void sayStoppedRunsSettled(const std::vector<std::string>& notes) {
  for (const std::string& note : notes) std::cerr << "varnok-cli: " << note << std::endl;
}

void finishReport(const std::function<std::filesystem::path()>& finish,
                  const std::filesystem::path& folder) {
  try {
    finish();
  } catch (const std::exception& error) {
    std::cerr << "varnok-cli: the report is incomplete: " << error.what() << std::endl;
  }
  sayWhereTheReportIs(folder);
}

void sayWhereTheReportIs(const std::filesystem::path& folder) {
  std::cout << "Report: " << folder.string() << std::endl;
}

}  // namespace varnok::cli
