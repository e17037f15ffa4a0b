// varnok-cli convert and fix, run as a user runs them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <functional>
#include <fstream>

#include "support/book_fixture.h"
#include "support/cli_run.h"

namespace varnok::testing {
namespace {

class ConversionCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldFolder = dir.folder("old book");
    newFolder = dir.folder("new book");
    makeBook(oldFolder, {gun("A1", "20250601", "        ", "PAWN"),
                         gun("A2", "20250630", "20250615", "SOLD"),
                         gun("A3", "20250701", "        ", "SALE")});
    makeBook(newFolder, {gun("A1", "20250601", "        ", "PAWN"),
                         gun("A2", "20250630", "20250615", "SOLD"),
                         gun("A4", "20250702", "        ", "SALE")});
  }

  std::vector<std::string> args(const std::string& command, const std::string& date = "06/30/2025") {
    return {command,          "--old",         oldFolder,   "--new",          newFolder,
            "--date",         date,            "--previous-last", "PRIOR", "--previous-first",
            "PAT",            "--previous-address", "1 OLD RD", "--previous-city", "OLDTOWN",
            "--previous-state", "TX",          "--previous-zip", "75001", "--new-last",
            "NEWCO",          "--new-first",   "NORA",      "--new-address",  "9 NEW ST",
            "--new-city",     "NEWTOWN",       "--new-state", "TX",          "--new-zip",
            "75002"};
  }

  ScratchDir dir;
  std::string oldFolder, newFolder;
};

TEST_F(ConversionCliTest, ConvertsBothBooksAndPrintsTheMessagesOfTheRun) {
  auto result = runCli(args("convert"));
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.out, "Number of old guns = 3 Number of new guns 3\nFinished\n");
  EXPECT_EQ(result.report.parent_path(), cliDataHome().path() / "varnok" / "reports");

  const auto oldBook = readBook(oldFolder);
  ASSERT_EQ(oldBook.size(), 2u);  // A3 came in after the date
  EXPECT_EQ(oldBook[0].Status, "SOLD");
  EXPECT_EQ(oldBook[0].DispLastName, "NEWCO");
  EXPECT_EQ(oldBook[0].DateOut, "20250630");

  const auto newBook = readBook(newFolder);
  ASSERT_EQ(newBook.size(), 2u);  // A2 left before the date
  EXPECT_EQ(newBook[0].Field00, "A1");
  EXPECT_EQ(newBook[0].RecvLastName, "PRIOR");
  EXPECT_EQ(newBook[0].DateIn, "20250630");
  EXPECT_EQ(newBook[1].Field00, "A4");
  EXPECT_EQ(newBook[1].RecvLastName, std::string(15, ' '));
}

// A refused input names what is missing or wrong in the options' words,
// opens no book and leaves no report folder.
TEST_F(ConversionCliTest, RefusedInputNamesTheOptionsAndLeavesNoReport) {
  const auto oldBytes = fileBytes(std::filesystem::path(oldFolder) / "FILE3.DAT");
  const auto without = [&](const char* command, std::size_t at, std::size_t count,
                           const std::string& date = "06/30/2025") {
    auto arguments = args(command, date);
    arguments.erase(arguments.begin() + at, arguments.begin() + at + count);
    return arguments;
  };
  const struct {
    std::vector<std::string> arguments;
    const char* out;
  } cases[] = {
      {without("convert", 7, 2),  // --previous-last PRIOR
       "You must enter information in all the boxes\nMissing: --previous-last.\n"},
      {without("convert", 1, 2, "02/30/2025"),  // --old DIR
       "You must enter information in all the boxes\nMissing: --old.\n"
       "--date 02/30/2025 is not a day of the calendar.\n"},
      {without("fix", 5, 2),  // --date 06/30/2025
       "You must enter a valid date\nMissing: --date.\n"},
      {without("fix", 19, 4),  // --new-last NEWCO --new-first NORA
       "You must enter information in all the boxes\nMissing: --new-last, --new-first.\n"},
  };
  const auto reports = cliDataHome().path() / "varnok" / "reports";
  std::filesystem::create_directories(reports);
  const auto reportCount = [&] {
    return std::distance(std::filesystem::directory_iterator(reports), {});
  };
  const auto before = reportCount();
  for (const auto& c : cases) {
    const auto result = runCli(c.arguments);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, c.out);
    EXPECT_TRUE(result.report.empty());
  }
  EXPECT_EQ(reportCount(), before);
  EXPECT_EQ(fileBytes(std::filesystem::path(oldFolder) / "FILE3.DAT"), oldBytes);
}

TEST_F(ConversionCliTest, ADateOfAnotherShapeIsAUsageError) {
  for (const char* date : {"6/30/2025", "06-30-2025", "06/30/25", "tomorrow"}) {
    auto result = runCli(args("convert", date));
    EXPECT_EQ(result.exitStatus, 2) << date;
    EXPECT_NE(result.err.find("MM/DD/YYYY"), std::string::npos) << result.err;
    EXPECT_EQ(result.out.find("Finished"), std::string::npos);
  }
}

TEST_F(ConversionCliTest, AMissingBookIsReportedAndTheRunStillFinishes) {
  auto arguments = args("convert");
  arguments[2] = dir.folder("empty folder");
  auto result = runCli(arguments);
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.out, "Old Gun Book file does not exist\nFinished\n");
  EXPECT_NE(result.err.find("old book " + arguments[2] + "FILE3.DAT: cannot open: file not found"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(readBook(newFolder).size(), 3u);

  // A file that is no book: the window's message, then what is wrong.
  const std::string foreign = dir.folder("foreign");
  std::ofstream(foreign + "FILE3.DAT") << "Stock,Serial\n";
  arguments = args("convert");
  arguments[4] = foreign;
  result = runCli(arguments);
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.out, "New Gun Book file does not exist\nnew book " + foreign +
                            "FILE3.DAT: cannot open: not a gun book file (status 30)\nFinished\n");
  EXPECT_EQ(fileBytes(std::filesystem::path(foreign) / "FILE3.DAT"), "Stock,Serial\n");
}

// Input refused before any book is opened: the message on standard output,
// the exit status, and both books byte for byte as they were.
TEST_F(ConversionCliTest, InputABookCannotTakeIsRefusedBeforeAnythingOpens) {
  const std::string longFolder = dir.path().string() + "/" +
                                 std::string(246 - dir.path().string().size() - 1, 'f');
  struct Row {
    const char* command;
    std::size_t argument;
    std::string value;
    int exitStatus;
    std::string out;
  };
  const Row rows[] = {
      {"convert", 8, "PRIOR\tX", 2,
       "Previous Gun Licensee Last Name holds the control character U+0009 (tab), which a gun "
       "book cannot store.\n"},
      {"fix", 26, "NEW\xF0\x9F\x98\x80", 2,
       "New Gun Licensee City holds the character U+1F600, which a gun book cannot store.\n"},
      {"fix", 10, "PAT\xFF", 2,
       "Previous Gun Licensee First Name holds the byte 0xFF (not valid UTF-8 text), which a "
       "gun book cannot store.\n"},
      {"convert", 2, longFolder, 1,
       "Old Gun Book folder: the folder name is too long: a book folder may be at most 246 bytes "
       "long (one byte for each plain letter or digit), its closing separator included, and "
       "this one is 247.\n"},
      {"fix", 4, longFolder, 1,
       "New Gun Book folder: the folder name is too long: a book folder may be at most 246 bytes "
       "long (one byte for each plain letter or digit), its closing separator included, and "
       "this one is 247.\n"},
      {"fix", 20, "", 1, "You must enter information in all the boxes\nMissing: --new-last.\n"},
  };
  const auto oldBytes = fileBytes(std::filesystem::path(oldFolder) / "FILE3.DAT");
  const auto newBytes = fileBytes(std::filesystem::path(newFolder) / "FILE3.DAT");
  for (const Row& row : rows) {
    auto arguments = args(row.command);
    SCOPED_TRACE(std::string(row.command) + " " + arguments[row.argument - 1]);
    arguments[row.argument] = row.value;
    const auto result = runCli(arguments);
    EXPECT_EQ(result.exitStatus, row.exitStatus) << result.err;
    EXPECT_EQ(result.out, row.out);
    EXPECT_EQ(fileBytes(std::filesystem::path(oldFolder) / "FILE3.DAT"), oldBytes);
    EXPECT_EQ(fileBytes(std::filesystem::path(newFolder) / "FILE3.DAT"), newBytes);
  }
}

TEST_F(ConversionCliTest, TheSameBookTwiceIsRefusedBeforeAnythingOpens) {
  auto arguments = args("convert");
  arguments[4] = oldFolder + "   ";
  auto result = runCli(arguments);
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.out.find("same book file"), std::string::npos) << result.out;
  EXPECT_EQ(readBook(oldFolder).size(), 3u);
}

// A gun the transfer would copy into the new book under a stock number the
// new book holds for another gun: the book refuses the copy, the error
// report goes to standard error and --on-error answers it.
TEST_F(ConversionCliTest, AnErrorReportIsAnsweredByOnError) {
  ScratchDir other;
  const std::string oldBook = other.folder("old"), newBook = other.folder("new");
  makeBook(oldBook, {gun("L1", "20250601", "20250701", "SOLD")});
  makeBook(newBook, {gun("L1", "20250301", "        ", "PAWN")});
  const auto oldBytes = fileBytes(std::filesystem::path(oldBook) / "FILE3.DAT");
  auto arguments = args("fix");
  arguments[2] = oldBook;
  arguments[4] = newBook;
  auto result = runCli(arguments);
  EXPECT_EQ(result.exitStatus, 3);
  EXPECT_NE(result.err.find("Error 30002\n"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("Location: Project1.Brelmark.Command1_Click\nLine "),
            std::string::npos);
  EXPECT_EQ(result.out, "");
  EXPECT_FALSE(result.report.empty());  // said before the program ended
  EXPECT_EQ(fileBytes(std::filesystem::path(oldBook) / "FILE3.DAT"), oldBytes);

  arguments.push_back("--on-error");
  arguments.push_back("ignore");
  result = runCli(arguments);
  EXPECT_EQ(result.exitStatus, 4) << result.err;
  EXPECT_NE(result.err.find("answered Ignore"), std::string::npos);
  EXPECT_NE(fileBytes(result.report / "summary.txt").find("1 answered Ignore"), std::string::npos);
}

// A process that cannot write files (the file size limit) cannot write its
// report: the run stops before any book is opened, saying why.
// On a report disk too small for the run's record, the run is refused
// before any book is opened; with room enough, both books are converted:
// never one without the other.
TEST_F(ConversionCliTest, AReportDiskThatFillsNeverLeavesHalfAConversion) {
  const auto reports = dir.path() / "small disk";
  std::filesystem::create_directory(reports);
  const auto oldBytes = fileBytes(std::filesystem::path(oldFolder) / "FILE3.DAT");
  const auto newBytes = fileBytes(std::filesystem::path(newFolder) / "FILE3.DAT");
  int refused = 0, converted = 0;
  for (const char* size : {"64k", "600k", "1100k", "1200k", "1300k", "2m"}) {
    if (std::system(("mount -t tmpfs -o mode=0700,size=" + std::string(size) + " varnok-test '" +
                     reports.string() + "' 2>/dev/null").c_str()) != 0)
      GTEST_SKIP() << "no tmpfs can be mounted here";
    auto arguments = args("convert");
    arguments.insert(arguments.end(), {"--report-dir", reports.string()});
    const auto result = runCli(arguments);
    std::system(("umount '" + reports.string() + "'").c_str());
    const bool oldKept = fileBytes(std::filesystem::path(oldFolder) / "FILE3.DAT") == oldBytes;
    const bool newKept = fileBytes(std::filesystem::path(newFolder) / "FILE3.DAT") == newBytes;
    if (result.exitStatus == 1) {
      ++refused;
      EXPECT_TRUE(oldKept && newKept) << size;
      EXPECT_NE(result.err.find("not enough room for the report"), std::string::npos) << result.err;
    } else {
      ++converted;
      EXPECT_EQ(result.exitStatus, 0) << size << ": " << result.err;
      EXPECT_FALSE(oldKept || newKept) << size;
      std::filesystem::remove(std::filesystem::path(oldFolder) / "FILE3.DAT");
      std::filesystem::remove(std::filesystem::path(newFolder) / "FILE3.DAT");
      SetUp();  // fresh books for the next size
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(converted, 0);
}

TEST_F(ConversionCliTest, ARunWhoseReportCannotBeWrittenOpensNoBook) {
  const auto oldBytes = fileBytes(std::filesystem::path(oldFolder) / "FILE3.DAT");
  const auto newBytes = fileBytes(std::filesystem::path(newFolder) / "FILE3.DAT");
  const auto noWrites = [] {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{512, 512};
    setrlimit(RLIMIT_FSIZE, &limit);
  };
  ScratchDir reports;
  auto inside = args("convert");
  inside.insert(inside.end(), {"--report-dir", oldFolder + "reports"});
  auto elsewhere = args("convert");
  elsewhere.insert(elsewhere.end(), {"--report-dir", reports.path().string()});
  const struct {
    std::vector<std::string> arguments;
    std::function<void()> inChild;
    const char* says;
  } cases[] = {
      {elsewhere, noWrites, "File too large"},
      {inside, {}, "is inside the old book's folder"},
  };
  for (const auto& c : cases) {
    const auto result = runCli(c.arguments, c.inChild);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("no book was opened"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
  }
  EXPECT_FALSE(std::filesystem::exists(oldFolder + "reports"));
  EXPECT_EQ(fileBytes(std::filesystem::path(oldFolder) / "FILE3.DAT"), oldBytes);
  EXPECT_EQ(fileBytes(std::filesystem::path(newFolder) / "FILE3.DAT"), newBytes);
}

// The preview prints what the run would do and writes no book; its report
// lists the very changes the run then makes.
TEST_F(ConversionCliTest, APreviewWritesNoBookAndForetellsTheRun) {
  const auto oldBytes = fileBytes(std::filesystem::path(oldFolder) / "FILE3.DAT");
  const auto newBytes = fileBytes(std::filesystem::path(newFolder) / "FILE3.DAT");
  auto previewing = args("convert");
  previewing.push_back("--preview");
  const auto preview = runCli(previewing);
  EXPECT_EQ(preview.exitStatus, 0) << preview.err;
  EXPECT_EQ(preview.out,
            "Number of old guns = 3 Number of new guns 3\nFinished\n"
            "Preview: no book was written. The run would change:\n"
            "  old book: 1 removed, 1 handed over\n  new book: 1 removed, 1 carried over\n"
            "Reconciliation of the books before the run:\n"
            "  on 06/30/2025 (20250630): 1 in the store (old book), 1 carried over (new book), "
            "1 matched\n"
            "  the books reconcile, 0 disposed of on the date (notes); the details are in "
            "reconciliation.txt\n"
            "Check of the books as the run would leave them:\n"
            "  on 06/30/2025 (20250630): 1 handed over (old book), 1 received as the rules give "
            "(new book)\n"
            "  the hand-over is proven; the details are in check.txt\n");
  EXPECT_EQ(fileBytes(std::filesystem::path(oldFolder) / "FILE3.DAT"), oldBytes);
  EXPECT_EQ(fileBytes(std::filesystem::path(newFolder) / "FILE3.DAT"), newBytes);
  EXPECT_EQ(preview.report.filename().string().substr(18), "preview");

  const auto run = runCli(args("convert"));
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(fileBytes(run.report / "changes.csv"), fileBytes(preview.report / "changes.csv"));
  EXPECT_NE(fileBytes(run.report / "check.txt").find("The hand-over is proven."), std::string::npos);
  EXPECT_EQ(fileBytes(run.report / "check.txt"), fileBytes(preview.report / "check.txt"));
  EXPECT_EQ(fileBytes(run.report / "old-FILE3.DAT"), oldBytes);
  EXPECT_EQ(fileBytes(run.report / "new-FILE3.DAT"), newBytes);
}

TEST_F(ConversionCliTest, EveryRunReportsTheReconciliationOfTheBooksBeforeIt) {
  // A1 is in the store on the date, but the new book lost it.
  std::filesystem::remove(std::filesystem::path(newFolder) / "FILE3.DAT");
  makeBook(newFolder, {gun("A2", "20250630", "20250615", "SOLD"),
                       gun("A4", "20250702", "        ", "SALE")});
  const auto alone = runCli({"reconcile", "--old", oldFolder, "--new", newFolder, "--date",
                             "06/30/2025"});
  ASSERT_EQ(alone.exitStatus, 5) << alone.err;
  ASSERT_NE(alone.out.find("A1: absent from the new book"), std::string::npos) << alone.out;

  for (const char* kind : {"--preview", ""}) {
    SCOPED_TRACE(kind);
    auto arguments = args("convert");
    if (*kind) arguments.push_back(kind);
    const auto run = runCli(arguments);
    EXPECT_EQ(run.exitStatus, 0) << run.err;  // a discrepancy stops no run
    EXPECT_EQ(fileBytes(run.report / "reconciliation.txt"), alone.out);
    EXPECT_NE(fileBytes(run.report / "summary.txt").find("THE BOOKS DO NOT RECONCILE: 1"),
              std::string::npos);
  }
}

TEST_F(ConversionCliTest, FixMovesLateDisposalsIntoTheNewBook) {
  ScratchDir other;
  const std::string oldBook = other.folder("old"), newBook = other.folder("new");
  makeBook(oldBook, {gun("L1", "20250601", "20250701", "SOLD"),
                     gun("L2", "20250601", "20250630", "SOLD")});
  makeBook(newBook, {});
  auto arguments = args("fix");
  arguments[2] = oldBook;
  arguments[4] = newBook;
  auto result = runCli(arguments);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.out, "");
  const auto copies = readBook(newBook);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].Field00, "L1");
  EXPECT_EQ(copies[0].DateIn, "20250630");
  EXPECT_EQ(copies[0].DateOut, "20250701");
  EXPECT_EQ(readBook(oldBook)[0].DateOut, "20250630");

  result = runCli(args("fix", "13/01/2025"));
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.out,
            "You must enter a valid date\n--date 13/01/2025 is not a day of the calendar.\n");
}

// A backup that cannot be written: the window's message, then why, with
// what the report could not write.
TEST_F(ConversionCliTest, ABackupThatCannotBeWrittenSaysWhyAfterTheMessage) {
  const auto smallFiles = [] {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};  // room for the summary, not for a book
    setrlimit(RLIMIT_FSIZE, &limit);
  };
  const auto result = runCli(args("convert"), smallFiles);
  EXPECT_EQ(result.exitStatus, 1);
  const std::string why = "old book " + oldFolder +
                          "FILE3.DAT: cannot open: its backup copy could not be written "
                          "(status 190); old book ";
  EXPECT_EQ(result.out.rfind("Old Gun Book file does not exist\n" + why, 0), 0u) << result.out;
  EXPECT_NE(result.out.find("old-FILE3.DAT: File too large\nFinished\n"), std::string::npos)
      << result.out;
}

// The transfer reads neither the prefix nor the two options: it does not
// offer them.
TEST_F(ConversionCliTest, OnlyConvertOffersThePrefixAndItsOptions) {
  const auto fixHelp = runCli({"fix", "--help"});
  const auto convertHelp = runCli({"convert", "--help"});
  for (const char* option : {"--prefix", "--keep-received-from", "--keep-date-in",
                             "--allow-cut-models"}) {
    EXPECT_EQ(fixHelp.out.find(option), std::string::npos) << option;
    EXPECT_NE(convertHelp.out.find(option), std::string::npos) << option;
  }
  auto withPrefix = args("fix");
  withPrefix.insert(withPrefix.end(), {"--prefix", "VP"});
  EXPECT_EQ(runCli(withPrefix).exitStatus, 2);
}

// A prefix that cuts a model: refused unless allowed, listed in the report
// either way; a preview tells without asking.
TEST_F(ConversionCliTest, APrefixThatCutsAModelIsRefusedUnlessAllowed) {
  gunbook::GunRecord longModel = gun("A1", "20250601", "        ", "PAWN");
  longModel.Field06 = "1911 RANGE OFC";
  std::filesystem::remove(std::filesystem::path(newFolder) / "FILE3.DAT");
  makeBook(newFolder, {longModel, gun("A5", "20250601", "        ", "SALE")});
  const auto newBytes = fileBytes(std::filesystem::path(newFolder) / "FILE3.DAT");
  const auto oldBytes = fileBytes(std::filesystem::path(oldFolder) / "FILE3.DAT");
  auto arguments = args("convert");
  arguments.insert(arguments.end(), {"--prefix", "vp"});
  const std::string found =
      "The prefix VP does not fit in front of the model of 1 gun carried into the new book "
      "(stock numbers A1)";

  auto refused = runCli(arguments);
  EXPECT_EQ(refused.exitStatus, 1);
  EXPECT_NE(refused.out.find(found), std::string::npos) << refused.out;
  EXPECT_NE(refused.out.find("Convert and cut them?\nNo"), std::string::npos) << refused.out;
  EXPECT_NE(refused.err.find("--allow-cut-models"), std::string::npos) << refused.err;
  EXPECT_EQ(fileBytes(std::filesystem::path(newFolder) / "FILE3.DAT"), newBytes);
  EXPECT_EQ(fileBytes(std::filesystem::path(oldFolder) / "FILE3.DAT"), oldBytes);
  const std::string listed = "models cut by the prefix (Field06 holds 15 characters): 1 "
                             "carried-over entries, stock numbers A1\n";
  EXPECT_NE(fileBytes(refused.report / "summary.txt").find(listed), std::string::npos);

  auto previewing = arguments;
  previewing.push_back("--preview");
  const auto preview = runCli(previewing);
  EXPECT_EQ(preview.exitStatus, 0) << preview.err;
  EXPECT_NE(preview.out.find(found), std::string::npos) << preview.out;
  EXPECT_EQ(preview.out.find("Convert and cut them?"), std::string::npos) << preview.out;
  EXPECT_NE(fileBytes(preview.report / "summary.txt").find(listed), std::string::npos);

  arguments.push_back("--allow-cut-models");
  const auto allowed = runCli(arguments);
  EXPECT_EQ(allowed.exitStatus, 0) << allowed.err;
  EXPECT_NE(allowed.out.find("Convert and cut them?\nYes"), std::string::npos) << allowed.out;
  EXPECT_EQ(findEntry(readBook(newFolder), "A1")->Field06, "VP1911 RANGE OF");
}

}  // namespace
}  // namespace varnok::testing
