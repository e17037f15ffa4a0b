// The subcommands of varnok-cli. Each adds itself to the application and
// sets the exit status when it runs.
#pragma once

#include <CLI/CLI.hpp>

namespace varnok::cli {

inline constexpr int kSuccessExit = 0;
inline constexpr int kRefusedExit = 1;  // bad input, a missing or damaged book
inline constexpr int kUsageExit = 2;
inline constexpr int kAbortExit = 3;    // the operator chose Abort in an error report
inline constexpr int kIgnoredExit = 4;  // the run ended, but error reports were answered Ignore

// `book create|import|export|stat`
void addBookCommand(CLI::App& app);
// `convert` and `fix`
void addConversionCommands(CLI::App& app);

void setExitStatus(int status);
int exitStatus();

}  // namespace varnok::cli
