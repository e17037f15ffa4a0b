// Fuzz target: any bytes offered to the CSV import. A refused file names a
// line and says what is wrong, and yields no entries; an accepted file,
// written out again as export writes it, reads back to the same entries,
// and that export is then stable byte for byte.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "booktool/book_csv.h"

namespace {

void fault(const char* what) {
  std::fprintf(stderr, "CSV import fault: %s\n", what);
  std::abort();
}

std::string exported(const varnok::booktool::CsvImport& import) {
  std::string text = varnok::booktool::bookCsvHeader();
  for (const auto& entry : import.entries) varnok::booktool::appendBookCsvRow(text, entry.stored);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using varnok::booktool::readBookCsv;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto import = readBookCsv(text);
  if (import.problem) {
    if (!import.entries.empty()) fault("a refused file yields entries");
    if (import.problem->line == 0 || import.problem->message.empty())
      fault("a refusal without a line or a message");
    if (import.problem->text().empty()) fault("an empty refusal text");
    return 0;
  }
  const std::string once = exported(import);
  const auto back = readBookCsv(once);
  if (back.problem) fault(("its own export is refused: " + back.problem->text()).c_str());
  if (back.entries.size() != import.entries.size()) fault("its export reads back to another count");
  for (std::size_t i = 0; i < back.entries.size(); ++i)
    if (back.entries[i].stored != import.entries[i].stored)
      fault("its export reads back to other entries");
  if (exported(back) != once) fault("export is not stable");
  return 0;
}
