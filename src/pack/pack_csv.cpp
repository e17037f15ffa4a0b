#include "booktool/csv.h"
#include "pack/pack_pages.h"

namespace varnok::pack {
namespace {

bool looksLikeFormula(const std::string& cell) {
  if (cell.empty()) return false;
  const char lead = cell.front();
  return lead == '=' || lead == '+' || lead == '-' || lead == '@' || lead == '\t' || lead == '\r';
}

void appendCell(std::string& out, std::string cell) {
  for (std::size_t at = cell.find('\n'); at != std::string::npos; at = cell.find('\n', at))
    cell.replace(at, 1, "; ");
  if (looksLikeFormula(cell)) cell.insert(0, 1, '\'');
  booktool::csv::appendField(out, cell);
}

template <typename Cells>
void appendRow(std::string& out, const Cells& cells) {
  bool first = true;
  for (const auto& cell : cells) {
    if (!first) out += ',';
    first = false;
    appendCell(out, cell);
  }
  out += booktool::csv::kLineEnd;
}

}  // namespace

std::string listingCsv(const std::vector<ListingRow>& rows) {
  std::string out;
  appendRow(out, kListingHeadings);
  for (const ListingRow& row : rows) appendRow(out, row);
  return out;
}

}  // namespace varnok::pack
