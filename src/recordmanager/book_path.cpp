#include "recordmanager/book_path.h"

#include <algorithm>
#include <cstring>

namespace varnok::rm {

std::string bookFilePath(const char* key, std::size_t length) {
  if (key == nullptr) return {};
  std::string path(key, strnlen(key, length));
  while (!path.empty() && path.back() == ' ') path.pop_back();
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

}  // namespace varnok::rm
