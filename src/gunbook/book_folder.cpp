#include "gunbook/book_folder.h"

namespace varnok::gunbook {

std::string normaliseFolder(std::string_view typed) {
  std::string folder(typed);
  while (!folder.empty() && folder.back() == ' ') folder.pop_back();
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

}  // namespace varnok::gunbook
