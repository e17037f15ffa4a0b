#include "report/report_folder.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "book_fixture.h"

namespace varnok::report {
namespace {

using testing::ScratchDir;

TEST(ReportFolder, EachRunGetsAFolderOfItsOwnNamedForItsTimeAndKind) {
  const ScratchDir dir;
  const auto reports = dir.path() / "not" / "yet" / "made";
  const auto at = std::chrono::system_clock::now();
  const auto first = makeReportFolder(reports, "convert", at);
  const auto second = makeReportFolder(reports, "convert", at);
  EXPECT_TRUE(std::filesystem::is_directory(first));
  EXPECT_TRUE(std::filesystem::is_empty(first));
  EXPECT_NE(first, second);
  EXPECT_EQ(second.filename().string(), first.filename().string() + "-2");
  const std::string name = first.filename().string();
  ASSERT_EQ(name.size(), std::string("2026-12-09-061502-convert").size()) << name;
  EXPECT_EQ(name.substr(17), "-convert");
}

TEST(ReportFolder, AFolderThatCannotBeMadeIsRefusedByName) {
  const ScratchDir dir;
  const auto file = dir.path() / "a-file";
  std::ofstream(file) << "not a folder";
  for (const auto& reports : {file, file / "below"}) {
    try {
      makeReportFolder(reports, "fix", std::chrono::system_clock::now());
      FAIL() << "a report folder was made in " << reports;
    } catch (const std::system_error& e) {
      EXPECT_NE(std::string(e.what()).find(reports.string()), std::string::npos) << e.what();
    }
  }
}

TEST(ReportFolder, DefaultsToTheUsersDataFolder) {
  const char* savedData = std::getenv("XDG_DATA_HOME");
  const std::string saved = savedData ? savedData : "";
  ::setenv("XDG_DATA_HOME", "/data/home", 1);
  EXPECT_EQ(defaultReportsFolder(), "/data/home/varnok/reports");
  ::setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') {
    EXPECT_EQ(defaultReportsFolder(), std::filesystem::path(home) / ".local/share/varnok/reports");
  }
  if (savedData) {
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_DATA_HOME");
  }
}

}  // namespace
}  // namespace varnok::report
