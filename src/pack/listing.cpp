// The listings' rows: each entry in the record's columns, in words an
// inspector reads without knowing the book's field names.
#include <algorithm>
#include <string_view>

#include "gunbook/windows1252.h"
#include "pack/pack_contents.h"

namespace varnok::pack {

const std::array<const char*, kListingColumns> kListingHeadings = {
    "Stock no.",
    "Date of receipt",
    "Received from (name and address, or licence number)",
    "Manufacturer or importer",
    "Model",
    "Serial number",
    "Type",
    "Caliber or gauge",
    "Date of disposition",
    "Disposed of to (name and address, or licence number), or form 4473 number",
    "Remarks",
};

namespace {

std::string trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

template <std::size_t N>
std::string text(const gunbook::FixedText<N>& field) {
  return trimmed(gunbook::fromWindows1252(field.view()));
}

// YYYYMMDD -> MM/DD/YYYY; anything else as the book holds it.
template <std::size_t N>
std::string date(const gunbook::FixedText<N>& field) {
  const std::string value = text(field);
  if (value.size() != 8 || value.find_first_not_of("0123456789") != std::string::npos)
    return value;
  return value.substr(4, 2) + "/" + value.substr(6, 2) + "/" + value.substr(0, 4);
}

std::string joinedBy(const std::vector<std::string>& parts, std::string_view between) {
  std::string out;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    if (!out.empty()) out += between;
    out += part;
  }
  return out;
}

std::string upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// "LAST, FIRST" and "ADDRESS, CITY, ST ZIP", for a party of an entry.
std::string party(const std::string& last, const std::string& first, const std::string& address,
                  const std::string& city, const std::string& state, const std::string& zip) {
  const std::string place = joinedBy({city, joinedBy({state, zip}, " ")}, ", ");
  return joinedBy({joinedBy({last, first}, ", "), address, place}, ", ");
}

bool isParty(const std::string& name, const Licensee& licensee) {
  return !name.empty() && upper(name) == upper(licensee.name);
}

std::string withLicence(std::string cell, const Licensee& licensee) {
  if (!licensee.licence.empty()) cell += "\nLicence " + licensee.licence;
  return cell;
}

ListingRow rowOf(const gunbook::GunRecord& e, const PackContents& pack) {
  ListingRow row;
  row[0] = text(e.Field00);
  row[1] = date(e.DateIn);
  const std::string from = text(e.RecvLastName), to = text(e.DispLastName);
  const std::string fromFirst = text(e.RecvFirstName), toFirst = text(e.DispFirstName);
  row[2] = party(from, fromFirst, text(e.RecvAddress), text(e.RecvCity), text(e.RecvState),
                 text(e.RecvZip));
  if (isParty(joinedBy({from, fromFirst}, ", "), pack.predecessor))
    row[2] = withLicence(row[2], pack.predecessor);
  row[3] = text(e.Field03);
  row[4] = text(e.Field06);
  row[5] = text(e.Field01);
  row[6] = text(e.Field21);
  row[7] = text(e.Field02);
  row[8] = date(e.DateOut);
  row[9] = party(to, toFirst, text(e.DispAddress), text(e.DispCity), text(e.DispState),
                 text(e.DispZip));
  if (isParty(joinedBy({to, toFirst}, ", "), pack.successor))
    row[9] = withLicence(row[9], pack.successor);
  if (const std::string form = text(e.Field09); !form.empty())
    row[9] = joinedBy({row[9], "Form 4473: " + form}, "\n");
  return row;
}

bool onHand(const gunbook::GunRecord& e) {
  const std::string_view kind = e.Status.left(4);
  return kind == "PAWN" || kind == "SALE";
}

}  // namespace

Licensee licenseeOf(const std::string& summaryLine, const std::string& licence) {
  std::vector<std::string> parts;
  for (std::size_t at = 0;;) {
    const std::size_t bar = summaryLine.find(" | ", at);
    parts.push_back(trimmed(summaryLine.substr(at, bar == std::string::npos ? bar : bar - at)));
    if (bar == std::string::npos) break;
    at = bar + 3;
  }
  parts.resize(6);
  Licensee licensee;
  licensee.name = joinedBy({parts[0], parts[1]}, ", ");
  licensee.address =
      joinedBy({parts[2], parts[3], joinedBy({parts[4], parts[5]}, " ")}, ", ");
  licensee.licence = licence;
  return licensee;
}

void addOldListing(const std::vector<gunbook::GunRecord>& entries, PackContents& pack) {
  const std::string handedOver = "Handed over to the successor on " + pack.transferDate;
  for (const gunbook::GunRecord& e : entries) {
    ListingRow row = rowOf(e, pack);
    const std::string to = joinedBy({text(e.DispLastName), text(e.DispFirstName)}, ", ");
    if (e.DateOut == pack.bookDate && isParty(to, pack.successor)) row[kRemarksColumn] = handedOver;
    if (text(e.DateOut).empty())
      pack.openGuns.push_back(joinedBy({row[kStockColumn], "serial " + row[kSerialColumn],
                                        joinedBy({row[3], row[4]}, " "),
                                        "status " + text(e.Status)}, ", "));
    pack.oldListing.push_back(std::move(row));
  }
  if (!pack.oldListing.empty()) {
    std::string& remark = pack.oldListing.back()[kRemarksColumn];
    remark = joinedBy({remark, "FINAL ENTRY: the book is closed out to the successor on " +
                                   pack.transferDate},
                      "\n");
  }
}

void addNewListing(const std::vector<gunbook::GunRecord>& entries, PackContents& pack) {
  const std::string received = "Carried over from the predecessor on " + pack.transferDate;
  for (const gunbook::GunRecord& e : entries) {
    if (!(e.DateIn <= pack.bookDate && (onHand(e) || e.DateOut >= pack.bookDate))) continue;
    ListingRow row = rowOf(e, pack);
    row[kRemarksColumn] = received;
    pack.newListing.push_back(std::move(row));
  }
}

Verdict checkVerdict(const std::string& checkText) {
  Verdict verdict{"Check of the converted books: does the pair prove the hand-over?", {}, {}};
  for (std::size_t at = 0; at < checkText.size();) {
    const std::size_t end = std::min(checkText.find('\n', at), checkText.size());
    const std::string line = checkText.substr(at, end - at);
    at = end + 1;
    if (line.empty()) continue;
    if (line == "The hand-over is proven.") {
      verdict.verdict = line;
    } else if (line.rfind("Exceptions: ", 0) == 0) {
      verdict.verdict = "THE HAND-OVER IS NOT PROVEN: " + line.substr(12) + " exceptions";
    } else {
      verdict.details.push_back(line);
    }
  }
  if (verdict.verdict.empty()) verdict.verdict = "not made by this run";
  return verdict;
}

Verdict reconciliationVerdict(const std::string& reconciliationText,
                              const std::vector<std::string>& summaryLines) {
  Verdict verdict{"Reconciliation of the two books as they were before the run", {}, {}};
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < reconciliationText.size();) {
    const std::size_t end = std::min(reconciliationText.find('\n', at), reconciliationText.size());
    if (end > at) lines.push_back(reconciliationText.substr(at, end - at));
    at = end + 1;
  }
  if (lines.empty()) lines = summaryLines;
  if (lines.empty()) lines.push_back("not made by this run");
  // reconciliation.txt: a heading, the counts, the verdict ("The books
  // reconcile." or "Discrepancies: N"), then the findings; the summary's
  // two lines end with it.
  const auto found = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line == "The books reconcile." || line.rfind("Discrepancies: ", 0) == 0;
  });
  verdict.verdict = found == lines.end()           ? trimmed(lines.back())
                    : *found == "The books reconcile." ? "The books reconcile."
                    : "THE BOOKS DO NOT RECONCILE: " + found->substr(15) + " discrepancies";
  if (found == lines.end()) lines.pop_back();
  else lines.erase(found);
  for (const std::string& line : lines) verdict.details.push_back(line);
  return verdict;
}

}  // namespace varnok::pack
