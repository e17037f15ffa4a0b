#include "reportfolder/report_folder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <system_error>

#include "book_fixture.h"

namespace varnok::reportfolder {
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

// XDG_DATA_HOME set for one test, put back after it.
class DataHome {
 public:
  explicit DataHome(const std::filesystem::path& home) {
    if (const char* saved = std::getenv("XDG_DATA_HOME")) saved_ = saved;
    ::setenv("XDG_DATA_HOME", home.c_str(), 1);
  }
  ~DataHome() {
    if (saved_.empty()) {
      ::unsetenv("XDG_DATA_HOME");
    } else {
      ::setenv("XDG_DATA_HOME", saved_.c_str(), 1);
    }
  }

 private:
  std::string saved_;
};

// Reports hold customers' names: no folder on the way to them below the
// data home may let another user read or redirect them.
TEST(ReportFolder, AFolderAnotherUserCouldUseIsRefusedBeforeAnythingIsWritten) {
  const ScratchDir dir;
  const auto home = dir.path() / "home";
  const auto elsewhere = dir.path() / "elsewhere";
  std::filesystem::create_directories(elsewhere);
  const DataHome data(home);
  const struct {
    const char* says;
    std::function<void()> plant;
  } cases[] = {
      {"is a symbolic link",
       [&] { std::filesystem::create_directory_symlink(elsewhere, home / "varnok"); }},
      {"belongs to another user",
       [&] {
         std::filesystem::create_directories(home / "varnok" / "reports"),
             (void)::chown((home / "varnok").c_str(), 12345, 12345);
       }},
      {"may be written by every user",
       [&] {
         std::filesystem::create_directories(home / "varnok" / "reports"),
             ::chmod((home / "varnok" / "reports").c_str(), 0777);
       }},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    c.plant();
    try {
      makeReportFolder(defaultReportsFolder(), "convert", std::chrono::system_clock::now());
      ADD_FAILURE() << "a folder that " << c.says << " was taken";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere)) << c.says;
  }
}

TEST(ReportFolder, FoldersAre0700AndTheirFiles0600WhateverTheUmask) {
  const ScratchDir dir;
  const DataHome data(dir.path() / "home");
  const mode_t saved = ::umask(0);
  const std::filesystem::path folder =
      makeReportFolder(defaultReportsFolder(), "convert", std::chrono::system_clock::now());
  ReportDir opened(::open(folder.c_str(), O_RDONLY | O_DIRECTORY), folder);
  opened.writeFile("summary.txt", "text");
  ::umask(saved);
  const auto mode = [](const std::filesystem::path& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
  };
  for (auto at = folder; at != dir.path() / "home"; at = at.parent_path())
    EXPECT_EQ(mode(at), 0700u) << at;
  EXPECT_EQ(mode(folder / "summary.txt"), 0600u);
}

}  // namespace
}  // namespace varnok::reportfolder
