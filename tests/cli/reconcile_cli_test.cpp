// varnok-cli reconcile, run as a user runs it: neither book ever changes.
#include <gtest/gtest.h>

#include <filesystem>

#include "report/file_copy.h"
#include "support/book_fixture.h"
#include "support/cli_run.h"

namespace varnok::testing {
namespace {

namespace fs = std::filesystem;

class ReconcileCli : public ::testing::Test {
 protected:
  ProgramResult reconcile(const std::string& oldFolder, const std::string& newFolder,
                          const std::vector<std::string>& more = {"--date", "06/30/2025"}) {
    std::vector<std::string> args = {"reconcile", "--old", oldFolder, "--new", newFolder};
    args.insert(args.end(), more.begin(), more.end());
    return runCli(args);
  }
  std::string hashOf(const std::string& folder) {
    return report::sha256OfFile(fs::path(folder) / "FILE3.DAT");
  }

  ScratchDir dir;
};

TEST_F(ReconcileCli, TheSampleBooksReconcileWithTheirSixNotes) {
  std::string folders[2];
  const char* names[2] = {"old", "new"};
  for (int i = 0; i < 2; ++i) {
    folders[i] = (dir.path() / names[i]).string();
    ASSERT_EQ(runCli({"book", "create", folders[i]}).exitStatus, 0);
    const std::string csv = std::string(VARNOK_EXAMPLES_DIR) + "/" + names[i] + "-book.csv";
    ASSERT_EQ(runCli({"book", "import", folders[i], csv}).exitStatus, 0);
  }
  const std::string oldHash = hashOf(folders[0]), newHash = hashOf(folders[1]);
  const ProgramResult result = reconcile(folders[0], folders[1]);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out.rfind("Reconciliation on 06/30/2025 (20250630)\n"
                             "In the store at the end of the date (old book): 108\n"
                             "Carried over (new book): 114\n"
                             "Matched by stock number: 108\n",
                             0),
            0u)
      << result.out;
  EXPECT_NE(result.out.find("The books reconcile.\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("  G-2025-00366: disposed of on the conversion date: kept in both "
                            "books\n"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(hashOf(folders[0]), oldHash);
  EXPECT_EQ(hashOf(folders[1]), newHash);
}

TEST_F(ReconcileCli, ExitStatusSaysWhetherTheBooksReconcileOrWhatWasRefused) {
  const std::string oldFolder = dir.folder("old"), newFolder = dir.folder("new");
  const std::string notesFolder = dir.folder("notes");
  makeBook(oldFolder,
           {gun("A1", "20250601", "        ", "PAWN"), gun("A2", "20250601", "20250630", "SOLD")});
  makeBook(newFolder, {gun("A2", "20250601", "20250630", "SOLD")});
  makeBook(notesFolder,
           {gun("A1", "20250601", "        ", "PAWN"), gun("A2", "20250601", "20250630", "SOLD")});
  const std::string missing = (dir.path() / "missing").string();
  const std::string tooLong = dir.path().string() + "/" + std::string(250, 'x');
  struct Case {
    std::string oldFolder, newFolder;
    std::vector<std::string> more;
    int exitStatus;
    std::string says;  // on standard output for 0 and 5, else on standard error
  };
  const std::vector<std::string> date = {"--date", "06/30/2025"};
  const Case cases[] = {
      {oldFolder, newFolder, date, 5, "  A1: absent from the new book\n"},
      {oldFolder, notesFolder, date, 0, "  A2: disposed of on the conversion date"},
      {oldFolder, missing, date, 1,
       "book " + missing + "/FILE3.DAT: cannot open: file not found (status 12)"},
      {tooLong, newFolder, date, 1, "the folder name is too long"},
      {oldFolder,
       newFolder,
       {"--date", "02/30/2025"},
       1,
       "02/30/2025 is not a day of the calendar"},
      {oldFolder, newFolder, {"--date", "2025-06-30"}, 2, "MM/DD/YYYY"},
      {oldFolder, newFolder, {}, 2, "--date"},
      {oldFolder, newFolder, {"--date", "06/30/2025", "--prefix", "A\tB"}, 2, "U+0009"},
  };
  const std::string oldHash = hashOf(oldFolder), newHash = hashOf(newFolder);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    const ProgramResult result = reconcile(c.oldFolder, c.newFolder, c.more);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << result.out << result.err;
    const std::string& shown = c.exitStatus == 0 || c.exitStatus == 5 ? result.out : result.err;
    EXPECT_NE(shown.find(c.says), std::string::npos) << result.out << result.err;
  }
  EXPECT_EQ(hashOf(oldFolder), oldHash);
  EXPECT_EQ(hashOf(newFolder), newHash);
  EXPECT_FALSE(fs::exists(missing));
}

}  // namespace
}  // namespace varnok::testing
