#include "conversion/book_identity.h"

#include <filesystem>
#include <string>

#include "gunbook/book_folder.h"
#include "recordmanager/book_path.h"
#include "recordmanager/file_identity.h"

namespace varnok::conversion {
namespace {

// The book file a typed folder leads to, as the record manager opens it.
std::string bookFilePathOf(std::string_view typedFolder) {
  const std::string key = gunbook::bookFileKey(gunbook::normaliseFolder(typedFolder));
  return rm::bookFilePath(key.data(), key.size());
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
  const auto oldFile = rm::fileIdentity(oldPath);
  const auto newFile = rm::fileIdentity(newPath);
  if (oldFile && newFile) return *oldFile == *newFile;
  return resolved(oldPath) == resolved(newPath);
}

}  // namespace varnok::conversion
