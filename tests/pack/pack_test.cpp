// The inspector's pack of a conversion of the sample books, made by the real
// program and read back with pdftotext: every entry of each listing once
// with its details whole, the statement's figures the summary's, and a
// book changed since the run refused.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "cli_run.h"
#include "pack/licence.h"
#include "pack/pack_contents.h"
#include "pack/pack_pages.h"
#include "report_support.h"

namespace varnok::testing {
namespace {

namespace fs = std::filesystem;

std::string withoutBlanks(std::string text) {
  text.erase(std::remove_if(text.begin(), text.end(),
                            [](unsigned char c) { return std::isspace(c) != 0; }),
             text.end());
  return text;
}

// The PDF's text in the order it was drawn, cell after cell.
std::string pdfText(const fs::path& pdf) {
  const ProgramResult run = runProgram("/usr/bin/pdftotext", {"-raw", pdf.string(), "-"});
  if (run.exitStatus != 0) throw std::runtime_error("pdftotext failed: " + run.err);
  return run.out;
}

// One pair of sample books converted with --pack, in its own scratch folder.
struct PackedRun {
  ScratchDir scratch;
  fs::path report;
  std::string oldBook, newBook;

  explicit PackedRun(const std::vector<std::string>& extra = {}) {
    oldBook = scratch.folder("old"), newBook = scratch.folder("new");
    for (const auto& [book, csv] : {std::pair{oldBook, "old"}, std::pair{newBook, "new"}}) {
      runCli({"book", "create", book});
      runCli({"book", "import", "--report-dir", scratch.folder("imports"), book,
              std::string(VARNOK_EXAMPLES_DIR) + "/" + csv + "-book.csv"});
    }
    std::vector<std::string> args = {
        "convert", "--old", oldBook, "--new", newBook, "--date", "06/30/2025",
        "--previous-last", "HALVORSEN", "--previous-first", "ERIK", "--previous-address",
        "1418 MILL CREEK RD", "--previous-city", "VELMORA", "--previous-state", "TX",
        "--previous-zip", "75961", "--new-last", "VELMORA PAWN", "--new-first", "DANA",
        "--new-address", "22 COURTHOUSE SQ", "--new-city", "VELMORA", "--new-state", "TX",
        "--new-zip", "75961", "--prefix", "VP", "--allow-cut-models", "--report-dir",
        scratch.folder("reports"), "--previous-licence", "175123015k12345", "--new-licence",
        "1-75-123-01-6A-54321", "--operator", "ANA NÚÑEZ"};
    args.insert(args.end(), extra.begin(), extra.end());
    const CliResult run = runCli(args);
    if (run.exitStatus != 0) throw std::runtime_error("convert failed: " + run.err);
    report = run.report;
  }
};

class SamplePack : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    run_ = new PackedRun({"--pack"});
    text_ = new std::string(pdfText(run_->report / "inspector-pack.pdf"));
  }
  static void TearDownTestSuite() {
    delete run_;
    delete text_;
  }
  // The text of the pages of one part of the pack.
  static std::string part(const std::string& from, const std::string& to) {
    const std::size_t begin = text_->find(from);
    const std::size_t end = to.empty() ? std::string::npos : text_->find(to);
    return text_->substr(begin, end == std::string::npos ? end : end - begin);
  }
  static std::string statement() { return part("Closing statement", "Old book (predecessor's):"); }
  static std::string oldListing() {
    return part("Old book (predecessor's): closing", "New book (successor's): opening");
  }
  static std::string newListing() { return part("New book (successor's): opening", ""); }
  static std::set<std::string> changed(const std::string& book, const std::string& change) {
    std::set<std::string> stocks;
    for (const CsvRow& row : csvRows(fileBytes(run_->report / "changes.csv")))
      if (row[0] == book && row[2] == change) stocks.insert(row[1]);
    return stocks;
  }
  static PackedRun* run_;
  static std::string* text_;
};
PackedRun* SamplePack::run_ = nullptr;
std::string* SamplePack::text_ = nullptr;

// The lines of a listing's text that begin an entry (its stock number then
// a blank), counted by stock number.
std::map<std::string, int> entryLines(const std::string& listing,
                                      const std::set<std::string>& stocks) {
  std::map<std::string, int> seen;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    const std::string first = line.substr(0, line.find(' '));
    if (stocks.count(first)) ++seen[first];
  }
  return seen;
}

// Each entry's details, blanks aside, in the text from its line to the next
// entry's: the values the book holds, whole, however the cells wrapped.
void expectEntriesWhole(const std::string& listing, const ExportedBook& book,
                        const std::set<std::string>& stocks) {
  std::map<std::string, std::string> rows;
  std::string* row = nullptr;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    const std::string first = line.substr(0, line.find(' '));
    if (stocks.count(first)) row = &rows[first];
    if (row) *row += withoutBlanks(line);
  }
  ASSERT_EQ(rows.size(), stocks.size());
  // Serial number, caliber, make, model, type; both parties' names and places.
  for (const auto& [stock, text] : rows)
    for (const int field : {1, 2, 3, 5, 6, 8, 10, 11, 12, 14, 15, 16, 21})
      EXPECT_THAT(text, ::testing::HasSubstr(withoutBlanks(book.at(stock)[field])))
          << stock << " " << gunbook::kGunFields[field].name;
}

TEST_F(SamplePack, EveryEntryOfEachListingOnceWithItsDetailsWhole) {
  const ExportedBook oldBook = exportedBook(run_->oldBook), newBook = exportedBook(run_->newBook);
  std::set<std::string> oldStocks, carried = changed("new", "carried over");
  for (const auto& [stock, row] : oldBook) oldStocks.insert(stock);
  ASSERT_EQ(oldStocks.size(), 268u);
  ASSERT_EQ(carried.size(), 114u);
  for (const auto& [listing, stocks] :
       {std::pair{oldListing(), oldStocks}, std::pair{newListing(), carried}}) {
    const std::map<std::string, int> seen = entryLines(listing, stocks);
    EXPECT_EQ(seen.size(), stocks.size());
    for (const auto& [stock, times] : seen) EXPECT_EQ(times, 1) << stock;
  }
  // The new book's entries received after the date are not carried over.
  std::set<std::string> notCarried;
  for (const auto& [stock, row] : newBook)
    if (!carried.count(stock)) notCarried.insert(stock);
  EXPECT_TRUE(entryLines(newListing(), notCarried).empty());
}

TEST_F(SamplePack, LongAndNonAsciiValuesComeOutWhole) {
  // The sample names NÚÑEZ; the addresses of the disposed-to column wrap.
  EXPECT_THAT(oldListing(), ::testing::HasSubstr("NÚÑEZ"));
  const std::string address = "2452 BARROW ST, SWEETWATER, TX 79556";
  EXPECT_THAT(withoutBlanks(oldListing()), ::testing::HasSubstr(withoutBlanks(address)));
  EXPECT_THAT(oldListing(), ::testing::Not(::testing::HasSubstr(address))) << "it did not wrap";
  const ExportedBook oldBook = exportedBook(run_->oldBook), newBook = exportedBook(run_->newBook);
  std::set<std::string> oldStocks;
  for (const auto& [stock, row] : oldBook) oldStocks.insert(stock);
  expectEntriesWhole(oldListing(), oldBook, oldStocks);
  expectEntriesWhole(newListing(), newBook, changed("new", "carried over"));
}

TEST_F(SamplePack, MarksTheHandedOverEntriesAndTheFinalOne) {
  std::set<std::string> marked;
  const std::vector<CsvRow> rows = csvRows(fileBytes(run_->report / "inspector-old-book.csv"));
  for (const CsvRow& row : rows)
    if (row[pack::kRemarksColumn].find("Handed over") != std::string::npos) marked.insert(row[0]);
  EXPECT_EQ(marked, changed("old", "handed over"));
  EXPECT_THAT(rows.back()[pack::kRemarksColumn],
              ::testing::HasSubstr("FINAL ENTRY: the book is closed out to the successor on "
                                   "06/30/2025"));
  EXPECT_THAT(rows.front()[9], ::testing::Not(::testing::HasSubstr("\n")));
  for (const char* name : {"inspector-pack.pdf", "inspector-old-book.csv", "inspector-new-book.csv"}) {
    struct stat st{};
    ASSERT_EQ(::stat((run_->report / name).c_str(), &st), 0) << name;
    EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
  }
}

TEST_F(SamplePack, StatementFiguresAreTheSummarys) {
  reportfolder::RunSummaryText summary;
  ASSERT_EQ(reportfolder::readRunSummary(fileBytes(run_->report / "summary.txt"), summary), "");
  EXPECT_EQ(summary.inputs.at("previous licence number"), "1-75-123-01-5K-12345");
  EXPECT_EQ(summary.inputs.at("operator"), "ANA NÚÑEZ");
  const std::string flat = withoutBlanks(statement());
  ASSERT_EQ(summary.books.size(), 2u);
  for (const reportfolder::SummaryBook& book : summary.books) {
    const std::string name = book.role == "old" ? "Oldbook(predecessor's)" : "Newbook(successor's)";
    EXPECT_THAT(flat, ::testing::HasSubstr(name + std::to_string(book.entriesBefore) +
                                           std::to_string(book.entriesAfter) +
                                           withoutBlanks(book.changed)));
    EXPECT_THAT(flat, ::testing::HasSubstr(book.sha256Before));
    EXPECT_THAT(flat, ::testing::HasSubstr(book.sha256After));
  }
  EXPECT_THAT(flat, ::testing::HasSubstr("Oldbook(predecessor's)30026832removed,108handedover"));
  for (const std::string line : {"In the store at the end of the date (old book): 108",
                                 "Carried over (new book): 114",
                                 "THE BOOKS DO NOT RECONCILE: 14 discrepancies",
                                 "THE HAND-OVER IS NOT PROVEN: 9 exceptions",
                                 "Licence number 1-75-123-01-5K-12345", "Operator ANA NÚÑEZ"})
    EXPECT_THAT(statement(), ::testing::HasSubstr(line));
}

// Every page, on either paper: the store and the date at its head, its
// number of all, and a listing's column headings.
TEST_F(SamplePack, EveryPageHasItsHeaderNumberAndHeadings) {
  for (const auto& [paper, size] : {std::pair{"letter", "792 x 612 pts"},
                                    std::pair{"a4", "841.89 x 595.28 pts"}}) {
    ASSERT_EQ(runCli({"pack", "--paper", paper, run_->report.string()}).exitStatus, 0);
    const fs::path pdf = run_->report / "inspector-pack.pdf";
    const std::string info = runProgram("/usr/bin/pdfinfo", {pdf.string()}).out;
    EXPECT_THAT(info, ::testing::HasSubstr(size)) << paper;
    const std::size_t at = info.find("Pages:");
    ASSERT_NE(at, std::string::npos);
    const int pages = std::stoi(info.substr(at + 6));
    EXPECT_GT(pages, 20);
    for (int page = 1; page <= pages; ++page) {
      const std::string n = std::to_string(page);
      const std::string text =
          runProgram("/usr/bin/pdftotext", {"-f", n, "-l", n, "-raw", pdf.string(), "-"}).out;
      EXPECT_THAT(text, ::testing::HasSubstr("VELMORA PAWN, DANA, 22 COURTHOUSE SQ")) << n;
      EXPECT_THAT(text, ::testing::HasSubstr("Date of transfer: 06/30/2025")) << n;
      EXPECT_THAT(text, ::testing::HasSubstr("page " + n + " of " + std::to_string(pages)));
      if (text.find("Closing statement") == std::string::npos) {
        EXPECT_THAT(withoutBlanks(text), ::testing::HasSubstr("Stockno.Dateofreceipt")) << n;
      }
    }
  }
}

TEST(Pack, RefusesABookChangedSinceTheRun) {
  PackedRun run;
  ASSERT_FALSE(fs::exists(run.report / "inspector-pack.pdf"));
  const CliResult first = runCli({"pack", run.report.string()});
  EXPECT_EQ(first.exitStatus, 0) << first.err;
  const std::string pdf = fileBytes(run.report / "inspector-pack.pdf");
  // The store program adds an entry to the new book after the run.
  std::string csv = fileBytes(std::string(VARNOK_EXAMPLES_DIR) + "/new-book.csv");
  const std::size_t secondLine = csv.find('\n') + 1;
  std::string row = csv.substr(secondLine, csv.find('\n', secondLine) + 1 - secondLine);
  row.replace(0, row.find(','), "G-2099-99999");
  writeBytes(run.scratch.file("more.csv"), csv.substr(0, secondLine) + row);
  ASSERT_EQ(runCli({"book", "import", "--report-dir", run.scratch.folder("imports"), run.newBook,
                    run.scratch.file("more.csv")}).exitStatus, 0);
  const CliResult refused = runCli({"pack", "--paper", "a4", run.report.string()});
  EXPECT_EQ(refused.exitStatus, 1);
  EXPECT_THAT(refused.err, ::testing::HasSubstr("the new book " + fs::path(run.newBook).string()));
  EXPECT_THAT(refused.err, ::testing::HasSubstr("has changed since the run"));
  EXPECT_EQ(fileBytes(run.report / "inspector-pack.pdf"), pdf);
}

TEST(Pack, LicenceNumbersAreChecked) {
  struct Case {
    const char* given;
    const char* hyphened;  // nullptr: refused
    const char* why;
  };
  for (const Case& c : std::vector<Case>{
           {"1-75-123-01-5K-12345", "1-75-123-01-5K-12345", ""},
           {" 175123015k12345 ", "1-75-123-01-5K-12345", ""},
           {"1-75-123-01-55-12345", nullptr, "its character 10, where a letter belongs"},
           {"1-75-12A-01-5K-12345", nullptr, "its character 6, where a digit belongs"},
           {"1-75-1234-01-5K-1234", nullptr, "group 3 has 4 characters, not 3"},
           {"17512301 5K12345", nullptr, "16 characters, not 15"},
           {"1-75-123-01-5K-12345-1", nullptr, "there are more than six groups"},
           {"", nullptr, "is empty"}}) {
    std::string hyphened;
    const std::string why = pack::checkLicenceNumber(c.given, hyphened);
    if (c.hyphened) {
      EXPECT_EQ(why, "") << c.given;
      EXPECT_EQ(hyphened, c.hyphened) << c.given;
    } else {
      EXPECT_THAT(why, ::testing::HasSubstr(c.why)) << c.given;
    }
  }
  const CliResult refused = runCli({"pack", "/nowhere", "--new-licence", "1-75"});
  EXPECT_EQ(refused.exitStatus, 2);
  EXPECT_THAT(refused.err, ::testing::HasSubstr("--new-licence: the licence number \"1-75\""));
}

TEST(Pack, CsvCellsAreSpreadsheetSafe) {
  pack::ListingRow row;
  const std::vector<std::string> values = {"=SUM(A1)", "+1", "-1", "@A", "\tx", "a\nb", "ok"};
  for (std::size_t i = 0; i < values.size(); ++i) row[i] = values[i];
  const std::vector<CsvRow> rows = csvRows(pack::listingCsv({row}));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_THAT(std::vector<std::string>(rows[0].begin(), rows[0].begin() + 7),
              ::testing::ElementsAre("'=SUM(A1)", "'+1", "'-1", "'@A", "'\tx", "a; b", "ok"));
}

}  // namespace
}  // namespace varnok::testing
