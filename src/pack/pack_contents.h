// What the pack shows, gathered from a run's summary and its books, before
// any page is laid out. Texts are UTF-8; a cell's lines are joined by '\n'.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "gunbook/gun_record.h"
#include "reportfolder/summary_reading.h"

namespace varnok::pack {

// The listing's columns: the acquisition and disposition record's
// (27 CFR 478.125(e)), with the stock number first and remarks last.
inline constexpr std::size_t kListingColumns = 11;
extern const std::array<const char*, kListingColumns> kListingHeadings;
inline constexpr std::size_t kStockColumn = 0, kSerialColumn = 5, kRemarksColumn = 10;

using ListingRow = std::array<std::string, kListingColumns>;

struct Licensee {
  std::string name;     // "HALVORSEN, ERIK"
  std::string address;  // "1418 MILL CREEK RD, VELMORA, TX 75961"
  std::string licence;  // hyphened, or empty when not given
};

struct BookFacts {
  std::string role;  // "old", "new"
  std::string file;
  long entriesBefore = -1, entriesAfter = -1;
  std::string changed;  // the summary's words: "32 removed, 108 handed over"
  std::string sha256Before, sha256After;
};

// A verdict on the books with its findings, as the statement prints it.
// The reconciliation's is the one there is; a check of the converted books
// adds its own the same way.
struct Verdict {
  std::string title;
  std::string verdict;              // one line
  std::vector<std::string> details;  // every finding and note, one line each
};

struct PackContents {
  std::string kind;          // "convert" or "fix"
  std::string transferDate;  // MM/DD/YYYY
  std::string bookDate;      // YYYYMMDD
  Licensee predecessor, successor;
  std::string store;  // for every page's header
  std::string operatorName, program, reportFolder, outcome;
  std::vector<BookFacts> books;
  std::vector<Verdict> verdicts;
  std::vector<std::string> openGuns;  // old-book entries with no disposition, one line each
  std::vector<ListingRow> oldListing, newListing;
};

// The licensee of a summary's input line ("LAST | FIRST | ADDRESS | CITY |
// STATE | ZIP").
Licensee licenseeOf(const std::string& summaryLine, const std::string& licence);

// The old book's closing listing: every entry, in key order; the entries
// disposed of to the successor on the date are marked handed over, and the
// last is marked the book's final entry. Also fills openGuns.
void addOldListing(const std::vector<gunbook::GunRecord>& entries, PackContents& pack);
// The new book's opening listing: the entries it carries over (received
// on or before the date, and on hand or disposed of on or after it).
void addNewListing(const std::vector<gunbook::GunRecord>& entries, PackContents& pack);

// The reconciliation's verdict from the run's reconciliation.txt (its
// whole text), or the summary's lines when there is none.
// The check of the converted books, from the run's check.txt.
Verdict checkVerdict(const std::string& checkText);
Verdict reconciliationVerdict(const std::string& reconciliationText,
                              const std::vector<std::string>& summaryLines);

}  // namespace varnok::pack
