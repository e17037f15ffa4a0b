#include "reportfolder/file_copy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>
#include <vector>

#include "book_fixture.h"
#include "gunbook/book_cursor.h"
#include "recordmanager/file_identity.h"

namespace varnok::reportfolder {
namespace {

using testing::fileBytes;
using testing::ScratchDir;
using testing::writeBytes;

// Digests from FIPS 180-2's examples, and one that crosses the copy's chunks.
TEST(FileCopy, CopiesEveryByteAndGivesItsSha256) {
  const ScratchDir dir;
  struct Case {
    std::string bytes;
    const char* sha256;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const auto from = dir.path() / ("from" + std::to_string(n));
    const auto to = dir.path() / ("to" + std::to_string(n++));
    writeBytes(from, c.bytes);
    EXPECT_EQ(sha256OfFile(from), c.sha256);
    const CopiedFile copy = copyWithHash(from, to);
    EXPECT_EQ(copy.sha256, c.sha256);
    EXPECT_EQ(copy.bytes, c.bytes.size());
    EXPECT_EQ(fileBytes(to), c.bytes);
  }
}

TEST(FileCopy, NeverOverwritesAndNamesTheFileItCannotUse) {
  const ScratchDir dir;
  const auto from = dir.path() / "book";
  const auto existing = dir.path() / "existing";
  writeBytes(from, "entries");
  writeBytes(existing, "an earlier backup");
  try {
    copyWithHash(from, existing);
    FAIL() << "an existing file was overwritten";
  } catch (const std::system_error& e) {
    EXPECT_NE(std::string(e.what()).find(existing.string()), std::string::npos) << e.what();
  }
  EXPECT_EQ(fileBytes(existing), "an earlier backup");
  EXPECT_THROW(sha256OfFile(dir.path() / "missing"), std::system_error);
  EXPECT_THROW(copyWithHash(dir.path() / "missing", dir.path() / "copy"), std::system_error);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "copy"));
}

}  // namespace
}  // namespace varnok::reportfolder
