// A second conversion by mistake, and a whole run undone, with varnok-cli
// as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/book_fixture.h"
#include "support/cli_run.h"

namespace varnok::testing {
namespace {

namespace fs = std::filesystem;

TEST(AgainAndUndoCli, RefusesASecondConversionAndUndoesEachRunWhole) {
  const ScratchDir dir;
  const std::string oldFolder = dir.folder("old book"), newFolder = dir.folder("new book");
  const std::string reports = (dir.path() / "reports").string();
  // Carried over: A1, with the model M1A; A2 was sold before the date.
  gunbook::GunRecord a1 = gun("A1", "20250601", "        ", "PAWN");
  a1.Field06 = "M1A";
  makeBook(oldFolder, {a1, gun("A3", "20250701", "        ", "SALE")});
  makeBook(newFolder, {a1, gun("A2", "20250601", "20250615", "SOLD")});
  const std::string oldOriginal = bookBytes(oldFolder), newOriginal = bookBytes(newFolder);
  const std::vector<std::string> convert = {"convert",    "--old",
                                            oldFolder,    "--new",
                                            newFolder,    "--date",
                                            "06/30/2025", "--prefix",
                                            "vp",         "--previous-last",
                                            "PRIOR",      "--previous-first",
                                            "PAT",        "--previous-address",
                                            "1 OLD RD",   "--previous-city",
                                            "OLDTOWN",    "--previous-state",
                                            "TX",         "--previous-zip",
                                            "75001",      "--new-last",
                                            "NEWCO",      "--new-first",
                                            "NORA",       "--new-address",
                                            "9 NEW ST",   "--new-city",
                                            "NEWTOWN",    "--new-state",
                                            "TX",         "--new-zip",
                                            "75002",      "--report-dir",
                                            reports};

  const CliResult first = runCli(convert);
  ASSERT_EQ(first.exitStatus, 0) << first.err;
  EXPECT_EQ(findEntry(readBook(newFolder), "A1")->Field06.view(), "VPM1A" + std::string(10, ' '));
  const std::string oldConverted = bookBytes(oldFolder), newConverted = bookBytes(newFolder);

  const CliResult refused = runCli(convert);
  EXPECT_EQ(refused.exitStatus, 8);
  EXPECT_NE(
      refused.out.find("exactly as the conversion of " + first.report.string() + " left them"),
      std::string::npos)
      << refused.out;
  EXPECT_NE(refused.err.find("give --again"), std::string::npos) << refused.err;
  EXPECT_EQ(bookBytes(oldFolder), oldConverted);
  EXPECT_EQ(bookBytes(newFolder), newConverted);

  std::vector<std::string> again = convert;
  again.push_back("--again");
  const CliResult second = runCli(again);
  ASSERT_EQ(second.exitStatus, 0) << second.err;
  EXPECT_EQ(findEntry(readBook(newFolder), "A1")->Field06.view(), "VPVPM1A" + std::string(8, ' '));

  // The first run cannot be undone over the second; the second, then the first, can.
  const CliResult overSecond = runCli({"undo", first.report.string(), "--report-dir", reports});
  EXPECT_EQ(overSecond.exitStatus, 1);
  EXPECT_NE(overSecond.err.find("the new book " + (fs::path(newFolder) / "FILE3.DAT").string() +
                                " changed since the run"),
            std::string::npos)
      << overSecond.err;
  for (const auto& [run, oldBytes, newBytes] :
       {std::tuple{second.report, oldConverted, newConverted},
        std::tuple{first.report, oldOriginal, newOriginal}}) {
    const CliResult undo = runCli({"undo", run.string(), "--report-dir", reports});
    ASSERT_EQ(undo.exitStatus, 0) << undo.err;
    EXPECT_EQ(bookBytes(oldFolder), oldBytes);
    EXPECT_EQ(bookBytes(newFolder), newBytes);
    EXPECT_TRUE(fs::exists(undo.report / "replaced-old-FILE3.DAT"));
  }
}

}  // namespace
}  // namespace varnok::testing
