#include "report/shelf_count_file.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "booktool/book_tool.h"

namespace varnok::report {

ShelfCountOutcome countShelfFile(rm::RecordManager& engine, const std::string& countFile,
                                 std::string_view oldFolder, std::string_view bookDate) {
  std::ifstream in(countFile, std::ios::binary);
  if (!in) return {std::nullopt, "cannot read the count file " + countFile};
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  const proof::ShelfList list = proof::readShelfList(text);
  if (list.problem) return {std::nullopt, "the count file " + countFile + ", " + *list.problem};
  std::vector<gunbook::GunRecord> oldBook;
  const auto read = booktool::readEntries(engine, oldFolder, oldBook);
  if (!read.ok) return {std::nullopt, read.problem};
  return {proof::compareShelfCount(list, oldBook, bookDate), {}};
}

}  // namespace varnok::report
