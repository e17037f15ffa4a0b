// varnok-cli: the conversion, the late disposal transfer and the book tool
// from the command line.
#include <CLI/CLI.hpp>

#include "cli/commands.h"
#include "errortrap/crash_filter.h"
#include "varnok/version.h"

int main(int argc, char** argv) {
  // Processor faults are reported through the error trap from here on.
  varnok::errortrap::installCrashFilter();
  CLI::App app{"Varnok: convert a store's gun books at a change of firearms licence.",
               "varnok-cli"};
  app.set_version_flag("--version", "varnok-cli " VARNOK_VERSION, "Print the version and exit");
  app.require_subcommand(1);
  varnok::cli::addBookCommand(app);
  varnok::cli::addConversionCommands(app);
  varnok::cli::addReconcileCommand(app);
  varnok::cli::addUndoCommand(app);
  varnok::cli::addPackCommand(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? 0 : varnok::cli::kUsageExit;
  }
  return varnok::cli::exitStatus();
}
