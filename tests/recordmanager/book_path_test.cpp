#include "recordmanager/book_path.h"

#include <gtest/gtest.h>

#include <string>

namespace varnok::rm {
namespace {

std::string pathOf(const std::string& key) { return bookFilePath(key.data(), key.size()); }

TEST(BookFilePath, EndsAtTheTrailingBlanksOrTheFirstNul) {
  EXPECT_EQ(pathOf("/srv/books/FILE3.DAT "), "/srv/books/FILE3.DAT");
  EXPECT_EQ(pathOf("/srv/books/FILE3.DAT    "), "/srv/books/FILE3.DAT");
  EXPECT_EQ(pathOf(std::string("/srv/books/FILE3.DAT\0junk after", 31)), "/srv/books/FILE3.DAT");
  EXPECT_EQ(pathOf(std::string("books/FILE3.DAT \0\0\0", 19)), "books/FILE3.DAT");
}

TEST(BookFilePath, KeepsBlanksInsideThePath) {
  EXPECT_EQ(pathOf("/srv/my books/FILE3.DAT "), "/srv/my books/FILE3.DAT");
  EXPECT_EQ(pathOf(" lead/FILE3.DAT "), " lead/FILE3.DAT");
}

TEST(BookFilePath, TakesBackslashesForSlashes) {
  EXPECT_EQ(pathOf("c:\\books\\FILE3.DAT "), "c:/books/FILE3.DAT");
  EXPECT_EQ(pathOf("\\FILE3.DAT "), "/FILE3.DAT");
  EXPECT_EQ(pathOf("/srv\\mixed/FILE3.DAT "), "/srv/mixed/FILE3.DAT");
}

TEST(BookFilePath, ReadsOnlyTheGivenLength) {
  const std::string key = "/srv/books/FILE3.DAT and more";
  EXPECT_EQ(bookFilePath(key.data(), 20), "/srv/books/FILE3.DAT");
  EXPECT_EQ(bookFilePath(key.data(), 0), "");
}

TEST(BookFilePath, IsEmptyWhenNothingIsLeft) {
  EXPECT_EQ(pathOf("      "), "");
  EXPECT_EQ(pathOf(std::string(10, '\0')), "");
  EXPECT_EQ(bookFilePath(nullptr, 255), "");
}

}  // namespace
}  // namespace varnok::rm
