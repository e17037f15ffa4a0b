// Runs varnok-cli as a user runs it, with the user's data folder (and so
// the default reports folder) in a scratch folder of the test program's own.
// A command that leaves a report says where on its last line; that line is
// taken off the output into `report`.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "book_fixture.h"
#include "run_program.h"

namespace varnok::testing {

struct CliResult : ProgramResult {
  std::filesystem::path report;  // empty when the last line names none
};

inline const ScratchDir& cliDataHome() {
  static const ScratchDir dataHome;
  return dataHome;
}

inline CliResult runCli(const std::vector<std::string>& args,
                        const std::function<void()>& inChild = {}) {
  const std::string dataHome = cliDataHome().path().string();
  CliResult result{runProgram(VARNOK_CLI_PATH, args, [&] {
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    if (inChild) inChild();
  }), {}};
  static const std::string kLead = "Report: ";
  const std::size_t lineStart =
      result.out.size() < 2 ? 0 : result.out.rfind('\n', result.out.size() - 2) + 1;
  if (result.out.compare(lineStart, kLead.size(), kLead) == 0) {
    result.report = result.out.substr(lineStart + kLead.size(),
                                      result.out.size() - 1 - lineStart - kLead.size());
    result.out.erase(lineStart);
  }
  return result;
}

}  // namespace varnok::testing
