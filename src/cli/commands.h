// The subcommands of varnok-cli. Each adds itself to the application and
// sets the exit status when it runs.
#pragma once

#include <CLI/CLI.hpp>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace varnok::cli {

// The six parts of a licensee, as the options name them (--previous-last,
// --new-zip) and as their help says them.
inline constexpr const char* kLicenseeParts[6] = {"last", "first", "address", "city", "state", "zip"};
inline constexpr const char* kLicenseePartNames[6] = {"last name", "first name", "address",
                                                      "city",      "state",      "zip"};

inline constexpr int kSuccessExit = 0;
inline constexpr int kRefusedExit = 1;  // bad input, a missing or damaged book
inline constexpr int kUsageExit = 2;
inline constexpr int kAbortExit = 3;    // the operator chose Abort in an error report
inline constexpr int kIgnoredExit = 4;  // the run ended, but error reports were answered Ignore
inline constexpr int kDiscrepancyExit = 5;  // the books do not reconcile
inline constexpr int kNotProvenExit = 6;     // converted books that do not prove the hand-over
inline constexpr int kCountDiffersExit = 7;  // a count of the shelf that differs from the book
// the books look converted on the date already and --again was not given
inline constexpr int kConvertedAlreadyExit = 8;

// `book create|import|export|stat|restore`
void addBookCommand(CLI::App& app);
// `convert` and `fix`
void addConversionCommands(CLI::App& app);
// `reconcile`
void addReconcileCommand(CLI::App& app);
// `undo`
void addUndoCommand(CLI::App& app);
// `pack`
void addPackCommand(CLI::App& app);

// The inspector's pack options of convert, fix and pack.
struct PackRequest {
  bool wanted = false;  // convert --pack, fix --pack
  std::string previousLicence, newLicence, operatorName, paper = "letter";
};
// --previous-licence, --new-licence, --operator, --paper; and --pack when
// `flag`.
void addPackOptions(CLI::App& command, PackRequest& request, bool flag);
// Checks the licence numbers (writing them in their hyphened form) before
// any book is opened; says why and sets exit status 2 when one is not one.
bool refusePackOptions(PackRequest& request);
// Makes the pack of a finished run's report folder and says where it is;
// says why not on standard error, with exit status 1, when it is refused.
void makePackOf(const std::filesystem::path& reportFolder, const PackRequest& request);

void setExitStatus(int status);
int exitStatus();

// --report-dir DIR, and the folder it names (the user's reports folder
// when not given).
void addReportDirOption(CLI::App& command, std::string& reportDir);
std::filesystem::path reportsFolder(const std::string& reportDir);
// The last line of a command that leaves a report: "Report: <folder>".
void sayWhereTheReportIs(const std::filesystem::path& folder);
// Puts right the reports of runs that were stopped before their end (in
// `reportDir`, or the user's reports folder), before the command opens a
// book; says on standard error what was put right.
void settleStoppedRuns(const std::string& reportDir = {});
void sayStoppedRunsSettled(const std::vector<std::string>& notes);
// Finishes a report and prints where it is, as the command's last line; a
// report that cannot be finished is said on standard error.
void finishReport(const std::function<std::filesystem::path()>& finish,
                  const std::filesystem::path& folder);

}  // namespace varnok::cli
