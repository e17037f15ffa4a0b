#include "booktool/book_access.h"

#include <algorithm>

#include "gunbook/book_folder.h"

namespace varnok::booktool {
using namespace varnok::gunbook;

std::string refusal(std::string_view typedFolder, std::string_view what) {
  return "book " + bookPath(typedFolder) + ": " + std::string(what);
}

std::filesystem::path filesystemFolder(std::string_view typedFolder) {
  std::string folder = normaliseFolder(typedFolder);
  std::replace(folder.begin(), folder.end(), '\\', '/');
  return std::filesystem::path(folder);
}

std::string unnamable(std::string_view typedFolder) {
  const std::string problem = folderLengthProblem(typedFolder);
  return problem.empty() ? problem : refusal(typedFolder, problem);
}

std::string openBook(rm::RecordManager& manager, BookCursor& cursor,
                     std::string_view typedFolder) {
  if (std::string problem = unnamable(typedFolder); !problem.empty()) return problem;
  cursor.KeyBuffer = bookFileKey(normaliseFolder(typedFolder));
  cursor.KeyNumber = 0;
  const int16_t status = cursor.call(manager, rm::op::Open);
  if (status == 0) return {};
  return refusal(typedFolder, "cannot open: " + statusPhrase(manager, status));
}

}  // namespace varnok::booktool
