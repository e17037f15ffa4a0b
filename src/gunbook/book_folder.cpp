#include "gunbook/book_folder.h"

#include <algorithm>

#include "gunbook/blanks.h"
#include "recordmanager/status.h"

namespace varnok::gunbook {

std::string normaliseFolder(std::string_view typed) {
  std::string folder(withoutTrailingBlanks(typed));
  if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) {
    const bool usesSlash =
        folder.find('/') != std::string::npos && folder.find('\\') == std::string::npos;
    folder += usesSlash ? '/' : '\\';
  }
  return folder;
}

std::string bookFileKey(std::string_view normalisedFolder) {
  std::string key(normalisedFolder);
  key += kBookFileName;
  return key;
}

std::string folderLengthProblem(std::string_view typedFolder) {
  const std::size_t length = normaliseFolder(typedFolder).size();
  if (length <= kLongestBookFolder) return {};
  return "the folder name is too long: a book folder may be at most " +
         std::to_string(kLongestBookFolder) +
         " bytes long (one byte for each plain letter or digit), its closing separator "
         "included, and this one is " +
         std::to_string(length);
}

std::string statusPhrase(int16_t status) {
  return std::string(rm::statusText(status)) + " (status " + std::to_string(status) + ")";
}

std::string statusPhrase(const rm::RecordManager& manager, int16_t status) {
  return std::string(manager.statusText(status)) + " (status " + std::to_string(status) + ")";
}

std::string bookPath(std::string_view typedFolder) {
  std::string key = bookFileKey(normaliseFolder(typedFolder));
  key = withoutTrailingBlanks(key);
  // Shown as this system spells it: the record manager reads '\' as '/'.
  std::replace(key.begin(), key.end(), '\\', '/');
  return key;
}

}  // namespace varnok::gunbook
