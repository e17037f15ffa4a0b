// Conversions run through the window: its messages, what it shows while it
// works, error reports answered through the message box seam, and the same
// books as varnok-cli leaves.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QProgressBar>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "errortrap/trap.h"
#include "support/book_fixture.h"
#include "support/conversion_dates.h"
#include "support/faulty_record_manager.h"
#include "support/cli_run.h"
#include "support/window_driver.h"

namespace varnok::testing {
namespace {

using form::MessageBox;

const QString kCounts = QStringLiteral("Number of old guns = 3 Number of new guns 3");
const QString kFinished = QStringLiteral("Finished");
const char* const kShownDuringRun[] = {"Label21", "Label22", "ProgressBar1", "ProgressBar2"};

class WindowRun : public ::testing::Test {
 protected:
  void SetUp() override {
    makeBooks();
    ASSERT_TRUE(w.show());
    w.fillIn(oldFolder, newFolder);
  }
  void makeBooks() {
    std::filesystem::remove(oldFolder + "FILE3.DAT");
    std::filesystem::remove(newFolder + "FILE3.DAT");
    makeBook(oldFolder, {gun("A1", "20040301", kBlankDate, "PAWN"), gun("A2", "20040310", "20040312", "SOLD"),
                         gun("A3", "20040320", kBlankDate, "SALE")});
    makeBook(newFolder, {gun("A1", "20040301", kBlankDate, "PAWN"), gun("A2", "20040310", "20040312", "SOLD"),
                         gun("A4", "20040320", kBlankDate, "SALE")});
  }

  ScratchDir dir;
  std::string oldFolder = dir.folder("old");
  std::string newFolder = dir.folder("new");
  FaultyRecordManager manager{rm::bookEngine()};
  WindowDriver w{manager};
};

TEST_F(WindowRun, ConvertsBothBooksShowingProgressOnlyWhileItWorks) {
  bool shownWhileWorking = true, hourglassWhileWorking = false, closedWhileWorking = true;
  manager.setHook([&](const FaultyRecordManager::Call& call) -> std::optional<int16_t> {
    if (call.operation == rm::op::Update && manager.calls(rm::op::Update) == 1) {
      for (const char* name : kShownDuringRun) shownWhileWorking &= w.get(name)->isVisible();
      const QCursor* cursor = QApplication::overrideCursor();
      hourglassWhileWorking = cursor && cursor->shape() == Qt::WaitCursor;
      closedWhileWorking = w.window.close() || !w.window.isVisible();
    }
    return std::nullopt;
  });
  for (const char* name : kShownDuringRun) EXPECT_TRUE(w.get(name)->isHidden()) << name;

  w.click("BeginConversion");

  EXPECT_EQ(w.boxesShown(), QStringList({kCounts, kFinished}));
  EXPECT_TRUE(shownWhileWorking);
  EXPECT_TRUE(hourglassWhileWorking);
  for (const char* name : kShownDuringRun) EXPECT_TRUE(w.get(name)->isHidden()) << name;
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(w.get<QProgressBar>("ProgressBar1")->value(), 100);
  // A close asked for while the run worked waited for its end.
  EXPECT_FALSE(closedWhileWorking);
  EXPECT_FALSE(w.window.isVisible());

  const auto oldBook = readBook(oldFolder);
  ASSERT_EQ(oldBook.size(), 2u);  // A3 came in after the date
  EXPECT_EQ(oldBook[0].Status.view().substr(0, 4), "SOLD");
  EXPECT_EQ(oldBook[0].DispLastName, gunbook::FixedText<15>("NEWCO"));
  EXPECT_EQ(oldBook[0].DispZip, gunbook::FixedText<5>("75002"));
  const auto newBook = readBook(newFolder);
  ASSERT_EQ(newBook.size(), 2u);  // A2 left before the date
  EXPECT_EQ(newBook[0].RecvLastName, gunbook::FixedText<15>("PRIOR"));
  EXPECT_EQ(newBook[0].RecvZip, gunbook::FixedText<5>("75001"));
  EXPECT_EQ(newBook[0].DateIn, gunbook::FixedText<8>("20040315"));
}

TEST_F(WindowRun, AMissingOldBookIsToldAndNoBookChanges) {
  const std::string newBefore = bookBytes(newFolder);
  w.box("Text3")->setText(QString::fromStdString(dir.folder("empty")));

  w.click("BeginConversion");

  EXPECT_EQ(w.boxesShown(), QStringList({"Old Gun Book file does not exist", kFinished}));
  for (const char* name : kShownDuringRun) EXPECT_TRUE(w.get(name)->isHidden()) << name;
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(bookBytes(newFolder), newBefore);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "empty" / "FILE3.DAT"));
}

// A book that is there but will not open: the message, then why.
TEST_F(WindowRun, ABookThatWillNotOpenIsToldWithTheReason) {
  manager.failCalls(rm::op::Open, rm::status::IoError, 2);  // the new book's check

  w.click("BeginConversion");

  EXPECT_EQ(w.boxesShown(),
            QStringList({"New Gun Book file does not exist",
                         QString::fromStdString("new book " + newFolder +
                                                "FILE3.DAT: cannot open: I/O error or damaged "
                                                "book file (status 2)"),
                         kFinished}));
}

TEST_F(WindowRun, AnErrorReportIsAnsweredRetryOrIgnore) {
  struct Case {
    MessageBox::Button answer;
    const char* statusOfA1;
  };
  for (const Case c : {Case{MessageBox::Retry, "SOLD"}, Case{MessageBox::Ignore, "PAWN"}}) {
    SCOPED_TRACE(c.statusOfA1);
    makeBook(oldFolder = dir.folder(std::string("old-") + c.statusOfA1),
             {gun("A1", "20040301", kBlankDate, "PAWN")});
    makeBook(newFolder = dir.folder(std::string("new-") + c.statusOfA1),
             {gun("A1", "20040301", kBlankDate, "PAWN")});
    w.fillIn(oldFolder, newFolder);
    manager.failCalls(rm::op::Update, rm::status::RecordLocked, manager.calls(rm::op::Update) + 1);
    w.answerBoxes(MessageBox::Ok);
    w.answerBoxes(c.answer);

    w.click("BeginConversion");

    const QStringList shown = w.boxesShown();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_TRUE(shown[1].startsWith("Error 30003\r\n")) << shown[1].toStdString();
    EXPECT_TRUE(shown[1].contains("\r\nLocation: Project1.Brelmark.ConvertOld\r\nLine "));
    EXPECT_EQ(shown[2], kFinished);
    EXPECT_EQ(readBook(oldFolder)[0].Status.view().substr(0, 4), c.statusOfA1);
    // The status line gives varnok-cli's warning after an Ignore.
    const QString status = w.get<QLabel>("RunStatus")->text();
    EXPECT_EQ(status.startsWith("1 error report(s) were answered Ignore: check both books before "
                                "using them.\nConversion: ran to its end. "),
              c.answer == MessageBox::Ignore) << status.toStdString();
  }
}

// The line of `file` (under src/conversion) that a report's last line names.
std::string reportedSourceLine(const QString& report, const std::string& file) {
  const auto at = report.lastIndexOf(QStringLiteral("\r\nLine "));
  if (at < 0) return {};
  const int number = report.mid(at + 7).toInt();
  std::ifstream source(std::string(VARNOK_SOURCE_DIR) + "/conversion/" + file);
  std::string line;
  for (int i = 0; i < number && std::getline(source, line); ++i) {
  }
  return line;
}

// A Close every procedure makes through one shared helper is reported at
// the procedure's own line that closes its book.
TEST_F(WindowRun, ARefusedCloseIsReportedAtTheLineOfTheProcedureThatCloses) {
  struct Case {
    int close;  // the book check closes both books first, then each pass its own
    const char* procedure;
    const char* file;
  };
  for (const Case c : {Case{1, "CheckValidFiles", "book_check.cpp"},
                       Case{3, "ConvertOld", "close_out.cpp"}, Case{4, "ConvNew", "rebase.cpp"}}) {
    SCOPED_TRACE(c.procedure);
    makeBooks();  // not converted yet, as the run before left them
    manager.failCalls(rm::op::Close, rm::status::DiskFull, manager.calls(rm::op::Close) + c.close);
    w.answerBoxes(MessageBox::Ignore, 2);  // the report and the count, in either order
    w.click("BeginConversion");
    QString report;
    for (const QString& shown : w.boxesShown())
      if (shown.startsWith("Error ")) report = shown;
    EXPECT_TRUE(report.contains(QStringLiteral("Location: Project1.Brelmark.") + c.procedure))
        << report.toStdString();
    EXPECT_NE(reportedSourceLine(report, c.file).find("closeOrDrop("), std::string::npos)
        << report.toStdString();
  }
}

// Run by the test below in a process of its own (Qt cannot be forked), on
// the books the environment names; without them it does nothing.
TEST(WindowAbortChild, RunAnsweringAbort) {
  const char* oldFolder = std::getenv("VARNOK_ABORT_OLD");
  const char* newFolder = std::getenv("VARNOK_ABORT_NEW");
  if (!oldFolder || !newFolder) GTEST_SKIP() << "run by AbortEndsTheProgram...";
  FaultyRecordManager manager{rm::bookEngine()};
  manager.failCalls(rm::op::Update, rm::status::RecordLocked);
  WindowDriver w{manager};
  ASSERT_TRUE(w.show());
  w.fillIn(oldFolder, newFolder);
  w.answerBoxes(MessageBox::Ok);
  w.answerBoxes(MessageBox::Abort);
  w.click("BeginConversion");
  ADD_FAILURE() << "the run went on after Abort";
}

TEST_F(WindowRun, AbortEndsTheProgramAtOnceLeavingBothBooksAsTheyWere) {
  const auto oldBefore = readBook(oldFolder), newBefore = readBook(newFolder);
  const auto child = runProgram(
      std::filesystem::read_symlink("/proc/self/exe"),
      {"--gtest_filter=WindowAbortChild.*"}, [&] {
        setenv("VARNOK_ABORT_OLD", oldFolder.c_str(), 1);
        setenv("VARNOK_ABORT_NEW", newFolder.c_str(), 1);
      });
  EXPECT_EQ(child.exitStatus, errortrap::kAbortExitStatus) << child.out << child.err;
  EXPECT_EQ(readBook(oldFolder), oldBefore);
  EXPECT_EQ(readBook(newFolder), newBefore);
}

TEST_F(WindowRun, LeavesTheSameBooksAsTheCommandLine) {
  const std::string cliOld = dir.folder("cli old"), cliNew = dir.folder("cli new");
  for (const auto& [from, to] : {std::pair{oldFolder, cliOld}, std::pair{newFolder, cliNew}}) {
    std::filesystem::copy_file(std::filesystem::path(from) / "FILE3.DAT",
                               std::filesystem::path(to) / "FILE3.DAT");
  }
  w.box("Text5")->setText("vp");
  w.trigger("mnuOption2");
  w.get<QAbstractButton>("Check1")->setChecked(true);  // mnuOption1 on the form
  w.click("BeginConversion");
  ASSERT_EQ(w.boxesShown().last(), kFinished);

  std::vector<std::string> args = {"convert", "--old", cliOld, "--new", cliNew,
                                   "--date", "03/15/2004", "--prefix", "vp", "--keep-date-in",
                                   "--keep-received-from"};
  const char* const parts[] = {"last", "first", "address", "city", "state", "zip"};
  for (int i = 0; i < 6; ++i) {
    args.insert(args.end(), {std::string("--previous-") + parts[i], WindowDriver::kPrevious[i],
                             std::string("--new-") + parts[i], WindowDriver::kNew[i]});
  }
  const auto cli = runCli(args);
  ASSERT_EQ(cli.exitStatus, 0) << cli.err;

  EXPECT_EQ(bookBytes(oldFolder), bookBytes(cliOld));
  EXPECT_EQ(bookBytes(newFolder), bookBytes(cliNew));
  EXPECT_NE(bookBytes(newFolder), bookBytes(cliOld));
}

}  // namespace
}  // namespace varnok::testing
