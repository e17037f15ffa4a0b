// varnok-cli's progress bars on a terminal of a given width: every redraw
// stays on one line of that terminal, so nothing scrolls.
#include <gtest/gtest.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "support/book_fixture.h"
#include "support/cli_run.h"

namespace varnok::testing {
namespace {

struct Terminal {
  const char* name;
  unsigned short columns;  // what the terminal says; 0: it does not say
  const char* columnsVariable;  // COLUMNS, or null for none
  std::size_t widest;  // the longest a drawn line may be
  std::size_t fullest;  // the longest drawn line is at least this long
};

void PrintTo(const Terminal& terminal, std::ostream* out) { *out << terminal.name; }

// Runs a conversion with standard error on a pseudo-terminal of the given
// size and returns what was written to it.
std::string barsOnTerminal(const Terminal& terminal, const std::vector<std::string>& args) {
  int master = -1, slave = -1;
  winsize size{};
  size.ws_col = terminal.columns;
  size.ws_row = terminal.columns == 0 ? 0 : 24;
  if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) throw std::runtime_error("openpty");
  std::string screen;
  std::thread reader([&] {
    char buffer[4096];
    ssize_t n;
    while ((n = read(master, buffer, sizeof buffer)) > 0) screen.append(buffer, std::size_t(n));
  });
  const CliResult result = runCli(args, [&] {
    dup2(slave, STDERR_FILENO);
    if (terminal.columnsVariable) {
      setenv("COLUMNS", terminal.columnsVariable, 1);
    } else {
      unsetenv("COLUMNS");
    }
  });
  close(slave);  // the reader ends when no one holds the terminal open
  reader.join();
  close(master);
  EXPECT_EQ(result.exitStatus, 0) << screen;
  return screen;
}

class ProgressBars : public ::testing::TestWithParam<Terminal> {};

TEST_P(ProgressBars, FitTheTerminalAndNeverScroll) {
  ScratchDir dir;
  std::vector<gunbook::GunRecord> guns;
  for (int i = 0; i < 60; ++i) {
    char stock[8];
    std::snprintf(stock, sizeof stock, "G%02d", i);
    guns.push_back(gun(stock, "20250601", i % 2 ? "20250715" : "        ", "SALE"));
  }
  const std::string oldFolder = dir.folder("old"), newFolder = dir.folder("new");
  makeBook(oldFolder, guns);
  makeBook(newFolder, guns);
  std::vector<std::string> args = {"convert", "--old", oldFolder, "--new", newFolder,
                                   "--date", "06/30/2025"};
  for (const char* side : {"previous", "new"})
    for (const char* box : {"last", "first", "address", "city", "state", "zip"})
      args.insert(args.end(), {std::string("--") + side + "-" + box, "X"});

  const std::string screen = barsOnTerminal(GetParam(), args);
  EXPECT_EQ(screen.find('\n'), std::string::npos) << "a redraw went to a new line";
  std::string longest;
  std::size_t drawn = 0, start = 0;
  while (start <= screen.size()) {
    const std::size_t end = std::min(screen.find('\r', start), screen.size());
    std::string line = screen.substr(start, end - start);
    if (const auto clear = line.find("\x1b[K"); clear != std::string::npos) line.erase(clear);
    if (line.find('%') != std::string::npos) ++drawn;
    if (line.size() > longest.size()) longest = line;
    start = end + 1;
  }
  EXPECT_GT(drawn, 10u) << "the bars were hardly drawn:\n" << screen;
  EXPECT_LE(longest.size(), GetParam().widest) << '"' << longest << '"';
  EXPECT_GE(longest.size(), GetParam().fullest) << '"' << longest << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Widths, ProgressBars,
    ::testing::Values(Terminal{"Columns80", 80, "200", 79, 70},
                      Terminal{"Columns132", 132, nullptr, 131, 110},
                      Terminal{"Columns24", 24, nullptr, 23, 15},
                      Terminal{"UnknownWidthColumnsVariable", 0, "60", 59, 50},
                      Terminal{"UnknownWidth", 0, nullptr, 79, 70}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnok::testing
