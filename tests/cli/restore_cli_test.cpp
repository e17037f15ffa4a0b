// varnok-cli book restore, run as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/book_fixture.h"
#include "support/scratch_dir.h"
#include "support/run_program.h"

namespace varnok::testing {
namespace {

namespace fs = std::filesystem;

TEST(RestoreCli, PutsTheBackupBackAndNamesTheReportFolderLast) {
  const ScratchDir dir;
  const std::string book = dir.folder("book"), saved = dir.folder("saved");
  makeBook(book, {gun("NOW", "20250101", "", "PAWN")});
  makeBook(saved, {gun("THEN", "20240101", "", "SALE")});
  const std::string current = fileBytes(fs::path(book) / "FILE3.DAT");
  const fs::path backup = fs::path(saved) / "FILE3.DAT", reports = dir.path() / "reports";

  ProgramResult result = runProgram(VARNOK_CLI_PATH, {"book", "restore", book, backup.string(),
                                                      "--report-dir", reports.string()});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(fileBytes(fs::path(book) / "FILE3.DAT"), fileBytes(backup));
  const std::string lastLine = "Report: " + reports.string() + "/";
  const std::size_t at = result.out.rfind(lastLine);
  ASSERT_NE(at, std::string::npos) << result.out;
  EXPECT_EQ(result.out.find('\n', at), result.out.size() - 1) << result.out;
  const fs::path folder = result.out.substr(at + 8, result.out.size() - at - 9);
  EXPECT_EQ(fileBytes(folder / "replaced-FILE3.DAT"), current);

  // Back again, from the kept book; then a file that is no book is refused.
  result = runProgram(VARNOK_CLI_PATH,
                      {"book", "restore", book, (folder / "replaced-FILE3.DAT").string(),
                       "--report-dir", reports.string()});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(fileBytes(fs::path(book) / "FILE3.DAT"), current);
  writeBytes(dir.path() / "notes.txt", "not a book\n");
  result =
      runProgram(VARNOK_CLI_PATH, {"book", "restore", book, (dir.path() / "notes.txt").string(),
                                   "--report-dir", reports.string()});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find("not a gun book file (status 30); nothing restored\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(fileBytes(fs::path(book) / "FILE3.DAT"), current);
  EXPECT_EQ(std::distance(fs::directory_iterator(reports), {}), 2);
}

TEST(RestoreCli, ChecksAnImportsBackupAgainstItsReport) {
  const ScratchDir dir;
  const std::string book = dir.folder("book"), other = dir.folder("other");
  makeBook(book, {gun("NOW", "20250101", "", "PAWN")});
  makeBook(other, {gun("OTHER", "20240101", "", "SALE")});
  const std::string reports = (dir.path() / "reports").string();
  const std::string before = bookBytes(book), otherBefore = bookBytes(other);
  ProgramResult result =
      runProgram(VARNOK_CLI_PATH, {"book", "import", book, VARNOK_EXAMPLES_DIR "/old-book.csv",
                                   "--report-dir", reports});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const fs::path backup = fs::directory_iterator(reports)->path() / "book-FILE3.DAT";
  ASSERT_EQ(fileBytes(backup), before);

  result = runProgram(VARNOK_CLI_PATH, {"book", "restore", other, backup.string(),
                                        "--report-dir", reports});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("is a backup of the book " + gunbook::bookPath(book) + " (so says "),
            std::string::npos) << result.err;
  EXPECT_NE(result.err.find("give --other-book"), std::string::npos) << result.err;
  EXPECT_EQ(bookBytes(other), otherBefore);
  result = runProgram(VARNOK_CLI_PATH, {"book", "restore", other, backup.string(),
                                        "--other-book", "--report-dir", reports});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(bookBytes(other), before);

  writeBytes(backup, otherBefore);
  result = runProgram(VARNOK_CLI_PATH,
                      {"book", "restore", book, backup.string(), "--report-dir", reports});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("does not hold the bytes its report gives"), std::string::npos)
      << result.err;
  EXPECT_NE(bookBytes(book), otherBefore);
}

}  // namespace
}  // namespace varnok::testing
