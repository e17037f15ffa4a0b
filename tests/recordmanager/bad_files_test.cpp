// Open refuses every kind of file that is not a sound book, with a status,
// and leaves the file's bytes (and its folder) exactly as they were.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>

#include "book_test_support.h"
#include "recordmanager/status.h"

namespace varnok::rmtest {
namespace {

namespace status = rm::status;

std::vector<Record> someEntries(int count) {
  std::vector<Record> records;
  for (int i = 0; i < count; ++i)
    records.push_back(entry("MARKER-" + std::to_string(1000 + i), "20240101", "F", "S", i));
  return records;
}

// Sets a 4-byte big-endian field of the file header.
void setHeaderField(const std::string& path, std::size_t at, uint32_t value) {
  std::string bytes = fileBytes(path);
  for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (24 - 8 * i));
  writeBytes(path, bytes);
}

void flipByte(const std::string& path, std::size_t at, uint8_t mask) {
  std::string bytes = fileBytes(path);
  ASSERT_LT(at, bytes.size());
  bytes[at] = char(bytes[at] ^ mask);
  writeBytes(path, bytes);
}

struct BadFile {
  const char* name;
  // Makes the bad file in the folder and gives the path to open.
  std::function<std::string(const ScratchDir&)> make;
  int16_t expected;
};

void PrintTo(const BadFile& file, std::ostream* out) { *out << file.name; }

std::string bookPath(const ScratchDir& dir) { return dir.file("FILE3.DAT"); }

const BadFile kBadFiles[] = {
    {"Missing", bookPath, status::FileNotFound},
    {"MissingFolder", [](const ScratchDir& dir) { return dir.file("none/FILE3.DAT"); },
     status::FileNotFound},
    {"PathThroughAFile",
     [](const ScratchDir& dir) {
       writeBytes(dir.file("plain"), "x");
       return dir.file("plain/FILE3.DAT");
     },
     status::FileNotFound},
    {"Folder",
     [](const ScratchDir& dir) {
       std::filesystem::create_directory(bookPath(dir));
       return bookPath(dir);
     },
     status::InvalidFileName},
    {"Empty",
     [](const ScratchDir& dir) {
       writeBytes(bookPath(dir), "");
       return bookPath(dir);
     },
     status::NotABookFile},
    {"Text",
     [](const ScratchDir& dir) {
       writeBytes(bookPath(dir), "Field00,Field01\nA,B\n");
       return bookPath(dir);
     },
     status::NotABookFile},
    {"ForeignSqlite",
     [](const ScratchDir& dir) {
       runSql(bookPath(dir), "CREATE TABLE t(x); INSERT INTO t VALUES(1);");
       return bookPath(dir);
     },
     status::NotABookFile},
    {"OtherApplicationId",
     [](const ScratchDir& dir) {
       makeBook(bookPath(dir), someEntries(3));
       runSql(bookPath(dir), "PRAGMA application_id=1");
       return bookPath(dir);
     },
     status::NotABookFile},
    {"OtherVersion",
     [](const ScratchDir& dir) {
       makeBook(bookPath(dir), someEntries(3));
       runSql(bookPath(dir), "PRAGMA user_version=2");
       return bookPath(dir);
     },
     status::NotABookFile},
    {"OtherSchema",
     [](const ScratchDir& dir) {
       runSql(bookPath(dir),
              "PRAGMA application_id=1448234571; PRAGMA user_version=1;"
              " CREATE TABLE entries(seq INTEGER PRIMARY KEY, data BLOB);");
       return bookPath(dir);
     },
     status::NotABookFile},
    {"ExtraTable",
     [](const ScratchDir& dir) {
       makeBook(bookPath(dir), someEntries(3));
       runSql(bookPath(dir), "CREATE TABLE more(x)");
       return bookPath(dir);
     },
     status::NotABookFile},
    {"WriteAheadLogMode",
     [](const ScratchDir& dir) {
       makeBook(bookPath(dir), someEntries(3));
       runSql(bookPath(dir), "PRAGMA journal_mode=WAL");
       return bookPath(dir);
     },
     status::NotABookFile},
    {"CutWithinTheHeader",
     [](const ScratchDir& dir) {
       makeBook(bookPath(dir), someEntries(3));
       writeBytes(bookPath(dir), fileBytes(bookPath(dir)).substr(0, 60));
       return bookPath(dir);
     },
     status::IoError},
    {"CutInHalf",
     [](const ScratchDir& dir) {
       makeBook(bookPath(dir), someEntries(100));
       const std::string bytes = fileBytes(bookPath(dir));
       writeBytes(bookPath(dir), bytes.substr(0, bytes.size() / 2 / 4096 * 4096));
       return bookPath(dir);
     },
     status::IoError},
    {"CutWithinAPage",
     [](const ScratchDir& dir) {
       makeBook(bookPath(dir), someEntries(100));
       const std::string bytes = fileBytes(bookPath(dir));
       writeBytes(bookPath(dir), bytes.substr(0, bytes.size() - 1000));
       return bookPath(dir);
     },
     status::IoError},
    {"FlippedByteInAnEntry",
     [](const ScratchDir& dir) {
       makeBook(bookPath(dir), someEntries(100));
       const std::size_t at = fileBytes(bookPath(dir)).find("MARKER-1050");
       flipByte(bookPath(dir), at + 200, 0x04);
       return bookPath(dir);
     },
     status::IoError},
    {"FlippedPageType",
     [](const ScratchDir& dir) {
       makeBook(bookPath(dir), someEntries(100));
       flipByte(bookPath(dir), 4096, 0xFF);  // the entries table's root page
       return bookPath(dir);
     },
     status::IoError},
    {"FlippedPageSize",
     [](const ScratchDir& dir) {
       makeBook(bookPath(dir), someEntries(3));
       flipByte(bookPath(dir), 16, 0x01);
       return bookPath(dir);
     },
     status::IoError},
    {"FlippedCellPointer",
     [](const ScratchDir& dir) {
       makeBook(bookPath(dir), someEntries(100));
       flipByte(bookPath(dir), 4096 * 3 + 13, 0x20);  // a leaf page's first cell offset
       return bookPath(dir);
     },
     status::IoError},
    {"EntryOfTheWrongLength",
     [](const ScratchDir& dir) {
       makeBook(bookPath(dir), someEntries(3));
       const std::vector<uint8_t> shorter(375, ' ');
       runSql(bookPath(dir), "INSERT INTO entries VALUES(50, " +
                                 blobLiteral(shorter.data(), shorter.size()) + ", " +
                                 std::to_string(zipCrc32(shorter.data(), shorter.size())) + ")");
       return bookPath(dir);
     },
     status::IoError},
    {"DuplicateField00",
     [](const ScratchDir& dir) {
       makeBook(bookPath(dir), someEntries(3));
       const Record twin = entry("MARKER-1001", "20991231", "OTHER", "OTHER", 77);
       runSql(bookPath(dir), "INSERT INTO entries VALUES(50, " +
                                 blobLiteral(twin.data(), twin.size()) + ", " +
                                 std::to_string(zipCrc32(twin.data(), twin.size())) + ")");
       return bookPath(dir);
     },
     status::IoError},
    {"WrongChecksum",
     [](const ScratchDir& dir) {
       makeBook(bookPath(dir), someEntries(3));
       runSql(bookPath(dir), "UPDATE entries SET crc = crc + 1 WHERE seq = 2");
       return bookPath(dir);
     },
     status::IoError},
    // The free list's first trunk page named while its count says none:
    // the page named is the entries' root.
    {"FreeListTrunkWithoutCount",
     [](const ScratchDir& dir) {
       makeBook(bookPath(dir), someEntries(100));
       setHeaderField(bookPath(dir), 32, 2);
       return bookPath(dir);
     },
     status::IoError},
    {"IncrementalVacuumWithoutPointerMaps",
     [](const ScratchDir& dir) {
       makeBook(bookPath(dir), someEntries(3));
       setHeaderField(bookPath(dir), 64, 1);
       return bookPath(dir);
     },
     status::IoError},
    {"RowsOutOfOrder",
     [](const ScratchDir& dir) {
       makeBook(bookPath(dir), someEntries(3));
       // The first row's rowid, a one-byte varint after its payload size's
       // two, raised past the second's.
       std::string bytes = fileBytes(bookPath(dir));
       const std::size_t cell =
           std::size_t(uint8_t(bytes[4096 + 8]) << 8 | uint8_t(bytes[4096 + 9]));
       bytes[4096 + cell + 2] = 9;
       writeBytes(bookPath(dir), bytes);
       return bookPath(dir);
     },
     status::IoError},
};

class BadFiles : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadFiles, AreRefusedAndLeftAsTheyWere) {
  ScratchDir dir;
  const std::string path = GetParam().make(dir);
  const std::string before = fileBytes(path);
  const auto namesBefore = dir.names();

  Book book;
  EXPECT_EQ(book.open(path), GetParam().expected);
  EXPECT_EQ(fileBytes(path), before);
  EXPECT_EQ(dir.names(), namesBefore);
  // The block names no book afterwards.
  EXPECT_EQ(book.getGreaterOrEqual(0), status::FileNotOpen);
}

INSTANTIATE_TEST_SUITE_P(Kinds, BadFiles, ::testing::ValuesIn(kBadFiles),
                         [](const auto& info) { return std::string(info.param.name); });

// Permissions mean nothing to root, so these run in a child process as the
// unprivileged user "nobody" when the tests run as root.
class Permissions : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    makeBook(path, someEntries(3));
  }

  int16_t openAsAnotherUser() {
    const std::string target = path;
    return int16_t(runInChild([&target] {
      if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 250;
      Book book;
      return int(book.open(target));
    }).exitStatus);
  }

  ScratchDir dir;
  std::string path = dir.file("FILE3.DAT");
};

TEST_F(Permissions, UnreadableBookIsAccessDenied) {
  chmod(path.c_str(), 0);
  const std::string before = fileBytes(path);
  EXPECT_EQ(openAsAnotherUser(), status::AccessDenied);
  EXPECT_EQ(fileBytes(path), before);
}

TEST_F(Permissions, ReadOnlyBookIsAccessDenied) {
  chmod(path.c_str(), 0444);
  EXPECT_EQ(openAsAnotherUser(), status::AccessDenied);
}

TEST_F(Permissions, BookInAReadOnlyFolderIsAccessDenied) {
  // Its journal could not be written at Close.
  chmod(path.c_str(), 0666);
  chmod(dir.path().c_str(), 0555);
  EXPECT_EQ(openAsAnotherUser(), status::AccessDenied);
}

TEST_F(Permissions, AnOpenableBookOpensForTheOtherUserToo) {
  // Shows that the refusals above come from the permissions alone.
  chmod(path.c_str(), 0666);
  chmod(dir.path().c_str(), 0777);
  EXPECT_EQ(openAsAnotherUser(), status::Success);
}

}  // namespace
}  // namespace varnok::rmtest
