// varnok-cli reconcile, run as a user runs it: neither book ever changes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "reportfolder/file_copy.h"
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
    return reportfolder::sha256OfFile(fs::path(folder) / "FILE3.DAT");
  }

  ScratchDir dir;
};

// The sample books before a conversion, after it, and after two of the
// guns it carried over are deleted from the new book; and a count of their
// shelf. The figures were worked out from the CSV files apart from this
// code: nine entries left open, 108 guns handed over, six sold on the date.
TEST_F(ReconcileCli, TheSampleBooksBeforeAndAfterTheirConversion) {
  std::string folders[2];
  const char* names[2] = {"old", "new"};
  for (int i = 0; i < 2; ++i) {
    folders[i] = (dir.path() / names[i]).string();
    ASSERT_EQ(runCli({"book", "create", folders[i]}).exitStatus, 0);
    const std::string csv = std::string(VARNOK_EXAMPLES_DIR) + "/" + names[i] + "-book.csv";
    ASSERT_EQ(runCli({"book", "import", folders[i], csv}).exitStatus, 0);
  }
  const std::string oldHash = hashOf(folders[0]), newHash = hashOf(folders[1]);
  const ProgramResult before = reconcile(folders[0], folders[1]);
  EXPECT_EQ(before.exitStatus, 5) << before.err;
  EXPECT_EQ(before.out.rfind("Reconciliation on 06/30/2025 (20250630)\n"
                             "In the store at the end of the date (old book): 108\n"
                             "Carried over (new book): 114\n"
                             "Matched by stock number: 108\n",
                             0),
            0u)
      << before.out;
  for (const char* line : {"Left open in the closed old book: 9\n", "Discrepancies: 14\n",
                           "  G-2025-00283: serial number \"ET4118991\", Status \" PAWN\", "
                           "DateIn 20250220\n",
                           "  G-2025-00366: disposed of on the conversion date: kept in both "
                           "books\n"})
    EXPECT_NE(before.out.find(line), std::string::npos) << line << before.out;
  EXPECT_EQ(hashOf(folders[0]), oldHash);
  EXPECT_EQ(hashOf(folders[1]), newHash);

  const std::vector<std::string> terms = {
      "--date", "06/30/2025", "--previous-last", "PRIOR", "--previous-first", "PAT",
      "--previous-address", "1 OLD RD", "--previous-city", "OLDTOWN", "--previous-state", "TX",
      "--previous-zip", "75001", "--new-last", "NEWCO", "--new-first", "NORA",
      "--new-address", "9 NEW ST", "--new-city", "NEWTOWN", "--new-state", "TX",
      "--new-zip", "75002", "--prefix", "vp"};
  std::vector<std::string> convert = {"convert", "--old", folders[0], "--new", folders[1]};
  convert.insert(convert.end(), terms.begin(), terms.end());
  convert.push_back("--allow-cut-models");  // "vp" cuts four models
  ASSERT_EQ(runCli(convert).exitStatus, 0);
  std::vector<std::string> check = terms;
  check.push_back("--converted");
  const ProgramResult after = reconcile(folders[0], folders[1], check);
  EXPECT_EQ(after.exitStatus, 6) << after.err;
  for (const char* line : {"Handed over to the new licensee on the date (old book): 108\n",
                           "received from the previous licensee as the rules give (new book): "
                           "108\n",
                           "Exceptions: 9\n", "Disposed of on the conversion date (notes): 6\n",
                           "  G-2025-00342: left open in the closed old book"})
    EXPECT_NE(after.out.find(line), std::string::npos) << line << after.out;

  // Two carried-over guns deleted from the converted new book.
  std::vector<gunbook::GunRecord> cut;
  for (const gunbook::GunRecord& e : readBook(folders[1] + "/"))
    if (trimmed(e.Field00) != "G-2023-00210" && trimmed(e.Field00) != "G-2025-00141")
      cut.push_back(e);
  const std::string cutFolder = dir.folder("cut");
  makeBook(cutFolder, cut);
  const ProgramResult deleted = reconcile(folders[0], cutFolder, check);
  EXPECT_EQ(deleted.exitStatus, 6) << deleted.err;
  for (const char* line : {"Exceptions: 11\n",
                           "  G-2023-00210: handed over to the new licensee, but absent from the "
                           "new book\n",
                           "  G-2025-00141: handed over to the new licensee, but absent from the "
                           "new book\n"})
    EXPECT_NE(deleted.out.find(line), std::string::npos) << line << deleted.out;
}

// A count that is the old book's guns in the store exactly, and one that
// misses a gun and holds one the book has not.
TEST_F(ReconcileCli, CountOnTheShelf) {
  const std::string oldFolder = dir.folder("old");
  makeBook(oldFolder, {gun("A1", "20250601", "        ", "PAWN"),
                       gun("A2", "20250601", "        ", "SALE"),
                       gun("A3", "20250601", "20250615", "SOLD")});
  const std::string exact = (dir.path() / "exact.csv").string();
  const std::string short_ = (dir.path() / "short.txt").string();
  std::ofstream(exact) << "Stock,Note\r\nA1,\r\na2,back room\r\n";
  std::ofstream(short_) << "A1\nZ9\n";
  const auto count = [&](const std::string& file) {
    return runCli({"reconcile", "--old", oldFolder, "--date", "06/30/2025", "--count", file});
  };
  const ProgramResult matches = count(exact);
  EXPECT_EQ(matches.exitStatus, 0) << matches.err;
  EXPECT_NE(matches.out.find("The count matches the book.\n"), std::string::npos) << matches.out;
  const ProgramResult differs = count(short_);
  EXPECT_EQ(differs.exitStatus, 7) << differs.err;
  EXPECT_NE(differs.out.find("  line 2: \"Z9\": no stock or serial number of the old book\n"), std::string::npos)
      << differs.out;
  EXPECT_NE(differs.out.find("  A2: serial number"), std::string::npos) << differs.out;
  const ProgramResult missing = count((dir.path() / "none.csv").string());
  EXPECT_EQ(missing.exitStatus, 1);
  EXPECT_NE(missing.err.find("cannot read the count file"), std::string::npos) << missing.err;
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
