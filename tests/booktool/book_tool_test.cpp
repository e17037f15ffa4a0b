// The book tool's requests on real books through the book engine.
#include "booktool/book_tool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "book_fixture.h"
#include "faulty_record_manager.h"
#include "booktool/book_csv.h"
#include "booktool/book_stat.h"

namespace varnok::booktool {
using namespace varnok::gunbook;
namespace {

using testing::FaultyRecordManager;
using testing::fileBytes;
using testing::ScratchDir;
using testing::gun;
using testing::makeBook;
using testing::readBook;

std::string csvOf(const std::vector<GunRecord>& records) {
  std::string text = bookCsvHeader();
  for (const GunRecord& record : records) appendBookCsvRow(text, toStored(record));
  return text;
}

bool sameEntries(const std::vector<GunRecord>& a, const std::vector<GunRecord>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (toStored(a[i]) != toStored(b[i])) return false;
  }
  return true;
}

class BookTool : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = scratch.folder("book");
    before = {gun("G-2020-00001", "20200101", "20200301", "SOLD"),
              gun("G-2025-00002", "20250630", "", "PAWN")};
    makeBook(folder, before);
    bytesBefore = fileBytes(bookFile());
  }
  std::filesystem::path bookFile() const { return scratch.path() / "book" / "FILE3.DAT"; }
  void expectUnchanged() {
    EXPECT_TRUE(sameEntries(readBook(folder), before));
    EXPECT_EQ(fileBytes(bookFile()), bytesBefore);
  }

  ScratchDir scratch;
  std::string folder;
  std::vector<GunRecord> before;
  std::string bytesBefore;
  rm::RecordManager& engine = rm::bookEngine();
};

TEST_F(BookTool, ImportAddsEntriesAndExportGivesThemInKeyZeroOrder) {
  GunRecord full = gun("G-2024-00099-RT", "20240101", "20250701", "SOLD");
  full.RecvAddress = "12345 NORTH TREADAWAY BLVD #1A";
  full.Field27 = "W/ CASE, 3 MAGS, OPT";
  full.DispFlag = -1;
  GunRecord low = gun("", "", "", " PAWN");
  std::fill_n(low.Field00.data(), 15, '\0');  // a NUL-filled key sorts before the blank
  std::size_t imported = 0;
  const auto outcome = importBook(engine, folder, csvOf({full, low}), "in.csv", &imported);
  ASSERT_TRUE(outcome.ok) << outcome.problem;
  EXPECT_EQ(imported, 2u);

  const std::vector<GunRecord> expected = {low, before[0], full, before[1]};
  EXPECT_TRUE(sameEntries(readBook(folder), expected));
  std::string csv;
  std::size_t exported = 0;
  ASSERT_TRUE(exportBook(engine, folder, csv, &exported).ok);
  EXPECT_EQ(exported, 4u);
  EXPECT_EQ(csv, csvOf(expected));

  // What was exported loads into an empty book and comes out the same.
  const std::string other = scratch.folder("other");
  ASSERT_TRUE(createBook(engine, other).ok);
  ASSERT_TRUE(importBook(engine, other, csv, "out.csv").ok);
  std::string again;
  ASSERT_TRUE(exportBook(engine, other, again).ok);
  EXPECT_EQ(again, csv);
}

TEST_F(BookTool, RefusedImportsNameLineAndColumnAndChangeNothing) {
  struct Case {
    std::string csv;
    std::string message;
  };
  const std::string header = bookCsvHeader();
  const std::string good = csvOf({gun("G-3", "20250101", "", "SALE")}).substr(header.size());
  const Case cases[] = {
      {csvOf({gun("G-3", "20250101", "", "SALE"), gun("G-2025-00002", "20250630", "", "PAWN"),
              gun("G-4", "20250101", "", "SALE")}),
       "in.csv: line 3, column 1 (Field00): \"G-2025-00002\" is already in " +
           bookPath(folder) + "; nothing imported"},
      {header + good + good, "in.csv: line 3, column 1 (Field00): \"G-3\" appears twice in the "
                             "file (first on line 2); nothing imported"},
      {header + good + "G-5,,,,2025010199" + std::string(23, ',') + "\r\n",
       "in.csv: line 3, column 5 (DateIn): value is 10 characters long; DateIn holds 8; nothing "
       "imported"},
      {header + good + "G-5,\"open\r\n", "in.csv: line 3, column 2 (Field01): quoted value never "
                                         "closed; nothing imported"},
  };
  for (const Case& c : cases) {
    std::size_t imported = 99;
    const auto outcome = importBook(engine, folder, c.csv, "in.csv", &imported);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.problem, c.message);
    EXPECT_EQ(imported, 0u);
    expectUnchanged();
  }
}

TEST_F(BookTool, AnEntryTheBookRefusesPartWayDiscardsTheWholeImport) {
  FaultyRecordManager faulty(engine);
  faulty.failCalls(rm::op::Insert, rm::status::DiskFull, 3);
  const auto outcome = importBook(
      faulty, folder,
      csvOf({gun("G-3", "20250101", "", "SALE"), gun("G-4", "20250101", "", "SALE"),
             gun("G-5", "20250101", "", "SALE"), gun("G-6", "20250101", "", "SALE")}),
      "in.csv");
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.problem,
            "in.csv: line 4: the book refused the entry: disk full (status 18); nothing imported");
  EXPECT_EQ(faulty.calls(rm::op::Discard), 1);
  expectUnchanged();
}

TEST_F(BookTool, AFailedCloseDiscardsTheImport) {
  FaultyRecordManager faulty(engine);
  faulty.failCalls(rm::op::Close, rm::status::IoError);
  const auto outcome =
      importBook(faulty, folder, csvOf({gun("G-3", "20250101", "", "SALE")}), "in.csv");
  EXPECT_FALSE(outcome.ok);
  EXPECT_NE(outcome.problem.find("cannot save the imported entries: I/O error"),
            std::string::npos)
      << outcome.problem;
  expectUnchanged();
}

TEST_F(BookTool, CreateMakesMissingFoldersAndNeverOverwrites) {
  const std::string nested = (scratch.path() / "a" / "b c").string();
  ASSERT_TRUE(createBook(engine, nested).ok);
  EXPECT_TRUE(readBook(nested + "/").empty());

  const auto again = createBook(engine, folder);
  EXPECT_FALSE(again.ok);
  EXPECT_EQ(again.problem, "book " + bookPath(folder) + ": already exists; it is left as it is");
  expectUnchanged();

  // A folder typed with backslashes and trailing blanks is the same folder.
  const std::string typed = scratch.path().string() + "\\typed\\sub  ";
  ASSERT_TRUE(createBook(engine, typed).ok);
  EXPECT_TRUE(std::filesystem::exists(scratch.path() / "typed" / "sub" / "FILE3.DAT"));
  EXPECT_EQ(bookPath(typed), scratch.path().string() + "/typed/sub/FILE3.DAT");
}

TEST_F(BookTool, MissingOrDamagedBooksAreRefusedAndNotMade) {
  const std::string missing = (scratch.path() / "missing").string();
  std::string csv = "untouched";
  auto outcome = exportBook(engine, missing, csv);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.problem,
            "book " + bookPath(missing) + ": cannot open: file not found (status 12)");
  EXPECT_TRUE(csv.empty());
  outcome = importBook(engine, missing, csvOf({gun("G-3", "", "", "")}), "in.csv");
  EXPECT_FALSE(outcome.ok);
  EXPECT_FALSE(std::filesystem::exists(scratch.path() / "missing"));

  const std::string damaged = scratch.folder("damaged");
  std::ofstream(scratch.path() / "damaged" / "FILE3.DAT") << "Field00,Field01\r\n";
  BookReport report;
  outcome = statBook(engine, damaged, report);
  EXPECT_FALSE(outcome.ok);
  EXPECT_NE(outcome.problem.find(": cannot open: "), std::string::npos) << outcome.problem;
  EXPECT_EQ(fileBytes(scratch.path() / "damaged" / "FILE3.DAT"), "Field00,Field01\r\n");
}

TEST_F(BookTool, StatReportsTheBookAndChecksEveryKey) {
  BookReport report;
  const auto outcome = statBook(engine, folder, report);
  ASSERT_TRUE(outcome.ok) << outcome.problem;
  EXPECT_EQ(report.path, bookPath(folder));
  EXPECT_EQ(report.entries, 2u);
  EXPECT_EQ(report.formatVersion, 1);
  EXPECT_EQ(report.text(), "book: " + bookPath(folder) +
                               "\nformat version: 1\nentries: 2\nrecord length: 376, page size: "
                               "4096, keys: 4\nintegrity: ok\n");
  expectUnchanged();
}

TEST_F(BookTool, StatFailsTheCheckWhenAKeyWalkComesUpShort) {
  FaultyRecordManager faulty(engine);
  // The third Get Next is the first of key 1's walk (key 0 takes two).
  faulty.failCalls(rm::op::GetNext, rm::status::IoError, 3);
  BookReport report;
  const auto outcome = statBook(faulty, folder, report);
  EXPECT_FALSE(outcome.ok);
  ASSERT_EQ(report.integrityProblems.size(), 1u);
  EXPECT_EQ(report.integrityProblems[0],
            "key 1 (DateIn): reading stopped at entry 2: I/O error or damaged book file "
            "(status 2)");
  EXPECT_NE(report.text().find("integrity: FAILED\n  key 1 (DateIn)"), std::string::npos);
  EXPECT_EQ(faulty.calls(rm::op::Discard), 1);
}

}  // namespace
}  // namespace varnok::booktool
