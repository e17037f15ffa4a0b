// varnok-cli book, run as an operator runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/book_fixture.h"
#include "support/cli_run.h"

namespace varnok::testing {
namespace {

namespace fs = std::filesystem;

CliResult book(const std::vector<std::string>& args) {
  std::vector<std::string> all = {"book"};
  all.insert(all.end(), args.begin(), args.end());
  return runCli(all);
}

// A refusal: exit 1, nothing on standard output, and one line on standard
// error that holds `what`.
void expectRefused(const ProgramResult& result, const std::string& what) {
  EXPECT_EQ(result.exitStatus, 1) << result.err;
  EXPECT_EQ(result.out, "");
  ASSERT_FALSE(result.err.empty());
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
  EXPECT_NE(result.err.find(what), std::string::npos) << result.err;
}

class BookCli : public ::testing::Test {
 protected:
  ScratchDir scratch;
  const std::string examples = VARNOK_EXAMPLES_DIR;
};

TEST_F(BookCli, SampleBooksLoadAndExportByteForByte) {
  for (const auto& [name, entries] : {std::pair{"old-book", 300}, std::pair{"new-book", 328}}) {
    SCOPED_TRACE(name);
    const std::string csv = examples + "/" + name + ".csv";
    const std::string folder = (scratch.path() / (std::string(name) + " folder")).string();

    CliResult result = book({"create", folder});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const std::string emptyBook = fileBytes(folder + "/FILE3.DAT");
    result = book({"import", folder, csv});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "imported " + std::to_string(entries) + " entries into " + folder +
                              "/FILE3.DAT\n");
    // The import's report keeps the book as it was and lists every entry.
    EXPECT_TRUE(fileBytes(result.report / "book-FILE3.DAT") == emptyBook);
    const std::string summary = fileBytes(result.report / "summary.txt");
    EXPECT_NE(summary.find("imported " + std::to_string(entries)), std::string::npos);
    EXPECT_NE(summary.find("\nBooks\n  book: /"), std::string::npos) << summary;

    result = book({"export", folder});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_TRUE(result.out == fileBytes(csv)) << "standard output differs from " << csv;

    const fs::path copy = scratch.path() / (std::string(name) + "-again.csv");
    result = book({"export", folder, copy.string()});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_TRUE(fileBytes(copy) == fileBytes(csv)) << copy << " differs from " << csv;
    EXPECT_FALSE(fs::exists(copy.string() + ".partial"));

    result = book({"stat", folder});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "book: " + folder + "/FILE3.DAT\nformat version: 1\nentries: " +
                              std::to_string(entries) +
                              "\nrecord length: 376, page size: 4096, keys: 4\nintegrity: ok\n");
    EXPECT_EQ(result.err, "");
  }
}

TEST_F(BookCli, RefusalsExitOneWithOneLineAndLeaveTheBookAlone) {
  const std::string folder = scratch.folder("book");
  makeBook(folder, {gun("G-1", "20250101", "", "PAWN")});
  const std::string bookBytes = fileBytes(scratch.path() / "book" / "FILE3.DAT");
  const fs::path bad = scratch.path() / "bad.csv";
  std::ofstream(bad, std::ios::binary) << fileBytes(examples + "/old-book.csv") << "G-9,x\r\n";

  expectRefused(book({"create", folder}), "book " + folder + "FILE3.DAT: already exists");
  expectRefused(book({"import", folder, bad.string()}),
                bad.string() + ": line 302: the row has 2 fields; the header has 28");
  expectRefused(book({"import", folder, (scratch.path() / "none.csv").string()}),
                "cannot read " + (scratch.path() / "none.csv").string());
  EXPECT_EQ(fileBytes(scratch.path() / "book" / "FILE3.DAT"), bookBytes);

  const std::string missing = (scratch.path() / "missing").string();
  expectRefused(book({"export", missing}), "file not found (status 12)");
  expectRefused(book({"stat", missing}), "book " + missing + "/FILE3.DAT: cannot open");
  expectRefused(book({"export", folder, (scratch.path() / "no" / "such.csv").string()}),
                "cannot write");
  EXPECT_FALSE(fs::exists(missing));

  const std::string damaged = scratch.folder("damaged");
  std::ofstream(scratch.path() / "damaged" / "FILE3.DAT") << "not a book";
  expectRefused(book({"stat", damaged}), "cannot open");
}

// Folders typed without their separator: at 245 characters the book file
// path fills the record manager's key buffer exactly; past it every request
// is refused before the book is named, and nothing is made.
TEST_F(BookCli, AFolderTooLongForTheKeyBufferIsRefusedWhole) {
  const std::string base = scratch.path().string() + "/";
  const std::string csv = examples + "/old-book.csv";
  for (const std::size_t length : {245u, 246u, 253u, 254u}) {
    SCOPED_TRACE(length);
    ASSERT_LT(base.size(), length);
    const std::string folder = base + std::string(length - base.size(), 'a' + length % 26);
    if (length == 245) {
      const ProgramResult result = book({"create", folder});
      EXPECT_EQ(result.exitStatus, 0) << result.err;
      EXPECT_EQ(result.out, "created empty book " + folder + "/FILE3.DAT\n");
      EXPECT_TRUE(fs::is_regular_file(folder + "/FILE3.DAT"));
      continue;
    }
    const std::string tooLong = "the folder name is too long: a book folder may be at most 246 "
                                "bytes long";
    const std::string says = "and this one is " + std::to_string(length + 1) + "\n";
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"create", folder}, {"import", folder, csv}, {"export", folder}, {"stat", folder}}) {
      SCOPED_TRACE(args[0]);
      const ProgramResult result = book(args);
      expectRefused(result, tooLong);
      EXPECT_NE(result.err.find(says), std::string::npos) << result.err;
    }
    EXPECT_FALSE(fs::exists(folder));
  }
  // Nothing but the one folder that fits was made.
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path()), fs::directory_iterator()), 1);
}

TEST_F(BookCli, WrongUsageExitsTwoAndHelpExitsZero) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{}, {"create"}, {"import", "dir"}, {"frobnicate"},
                                             {"stat", "a", "b"}, {"export", "--bogus", "dir"}}) {
    const ProgramResult result = book(args);
    EXPECT_EQ(result.exitStatus, 2) << ::testing::PrintToString(args) << result.err;
    EXPECT_FALSE(result.err.empty());
  }
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"create", "--help"}, {"import", "--help"}, {"export", "--help"},
           {"stat", "--help"}}) {
    const ProgramResult result = book(args);
    EXPECT_EQ(result.exitStatus, 0) << ::testing::PrintToString(args);
    EXPECT_NE(result.out.find("Usage:"), std::string::npos) << result.out;
  }
}

}  // namespace
}  // namespace varnok::testing
