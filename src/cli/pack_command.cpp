// `varnok-cli pack REPORT_FOLDER` and the pack options of convert and fix:
// the inspector's pack of a run.
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "pack/licence.h"
#include "pack/pack.h"

namespace varnok::cli {

void addPackOptions(CLI::App& command, PackRequest& request, bool flag) {
  if (flag)
    command.add_flag("--pack", request.wanted,
                     "At the end of the run, make the inspector's pack in its report folder "
                     "(inspector-pack.pdf, inspector-old-book.csv, inspector-new-book.csv)")
        ->group("Inspector's pack");
  command.add_option("--previous-licence", request.previousLicence,
                     "The previous licensee's licence number, X-XX-XXX-XX-XX-XXXXX")
      ->group("Inspector's pack");
  command.add_option("--new-licence", request.newLicence,
                     "The new licensee's licence number, X-XX-XXX-XX-XX-XXXXX")
      ->group("Inspector's pack");
  command.add_option("--operator", request.operatorName,
                     "The name of the operator who made the conversion")
      ->group("Inspector's pack");
  command.add_option("--paper", request.paper, "The pack's paper: letter (the default) or a4")
      ->check(CLI::IsMember({"letter", "a4"}, CLI::ignore_case))
      ->group("Inspector's pack");
}

bool refusePackOptions(PackRequest& request) {
  // The name is a line of the summary: no line break or other control
  // character may end it early.
  for (const char c : request.operatorName) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      std::cerr << "varnok-cli: --operator: the name holds a control character (a tab or a line "
                   "break, say); give it on one line"
                << std::endl;
      setExitStatus(kUsageExit);
      return true;
    }
  }
  for (const auto& [option, number] : {std::pair{"--previous-licence", &request.previousLicence},
                                       std::pair{"--new-licence", &request.newLicence}}) {
    if (number->empty()) continue;
    std::string hyphened;
    if (const std::string why = pack::checkLicenceNumber(*number, hyphened); !why.empty()) {
      std::cerr << "varnok-cli: " << option << ": " << why << std::endl;
      setExitStatus(kUsageExit);
      return true;
    }
    *number = hyphened;
  }
  return false;
}

void makePackOf(const std::filesystem::path& reportFolder, const PackRequest& request) {
  pack::PackOptions options;
  pack::paperFromName(request.paper, options.paper);
  options.details = {request.previousLicence, request.newLicence, request.operatorName};
  const pack::PackResult made = pack::makePack(reportFolder, options);
  if (!made.ok) {
    std::cerr << "varnok-cli: no inspector's pack was made: " << made.problem << std::endl;
    return setExitStatus(kRefusedExit);
  }
  std::cout << "Pack: " << made.pdf.string() << std::endl;
}

void addPackCommand(CLI::App& app) {
  struct Options {
    std::string folder;
    PackRequest request;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "pack",
      "Make the inspector's pack of a convert or fix run in its report folder: the closing "
      "statement and both books' listings as inspector-pack.pdf, and the listings as "
      "inspector-old-book.csv and inspector-new-book.csv. Refused when a book has changed "
      "since the run.");
  command->add_option("REPORT_FOLDER", options->folder, "The run's report folder")->required();
  addPackOptions(*command, options->request, /*flag=*/false);
  command->callback([options] {
    if (refusePackOptions(options->request)) return;
    setExitStatus(kSuccessExit);
    makePackOf(options->folder, options->request);
  });
}

}  // namespace varnok::cli
