#include "conversion/book_identity.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "gunbook/book_folder.h"

namespace varnok::conversion {
namespace {

// The book file a typed folder leads to, as the record manager opens it:
// both '\' and '/' separate folders, and the trailing blank ends the name.
std::string bookFilePathOf(std::string_view typedFolder) {
  std::string path = gunbook::bookFileKey(gunbook::normaliseFolder(typedFolder));
  while (!path.empty() && path.back() == ' ') path.pop_back();
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// The path with links and "." / ".." resolved as far as the folders exist.
std::filesystem::path resolved(const std::string& path) {
  std::error_code error;
  auto canonical = std::filesystem::weakly_canonical(path, error);
  if (!error) return canonical;
  return std::filesystem::absolute(path, error).lexically_normal();
}

}  // namespace

bool sameBookFile(std::string_view oldFolderTyped, std::string_view newFolderTyped) {
  const std::string oldPath = bookFilePathOf(oldFolderTyped);
  const std::string newPath = bookFilePathOf(newFolderTyped);
  struct stat oldFile {}, newFile {};
  if (stat(oldPath.c_str(), &oldFile) == 0 && stat(newPath.c_str(), &newFile) == 0)
    return oldFile.st_dev == newFile.st_dev && oldFile.st_ino == newFile.st_ino;
  return resolved(oldPath) == resolved(newPath);
}

}  // namespace varnok::conversion
