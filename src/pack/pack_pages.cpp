// The closing statement, written for a reader who never saw this program,
// and the two listings.
#include <utility>

#include "pack/pack_pages.h"

namespace varnok::pack {
namespace {

Row paragraph(std::string text, Style style = Style::Text, double spaceBefore = 0) {
  return Row{{std::move(text)}, {1.0}, style, spaceBefore, false};
}

// A label and its value, side by side.
Row fact(std::string label, std::string value) {
  return Row{{std::move(label), std::move(value)}, {0.18, 0.82}, Style::Text, 0, false};
}

std::string orNotGiven(const std::string& text) { return text.empty() ? "not given" : text; }

// Both licensees side by side.
void addParties(std::vector<Row>& rows, const PackContents& pack) {
  const std::vector<double> widths = {0.18, 0.41, 0.41};
  rows.push_back(Row{{"", "Predecessor (the licensee before the transfer)",
                      "Successor (the licensee from the transfer)"},
                     widths, Style::Strong, 8, true});
  const Licensee& before = pack.predecessor;
  const Licensee& after = pack.successor;
  rows.push_back(Row{{"Name", before.name, after.name}, widths, Style::Text, 0, false});
  rows.push_back(Row{{"Address", before.address, after.address}, widths, Style::Text, 0, false});
  rows.push_back(Row{{"Licence number", orNotGiven(before.licence), orNotGiven(after.licence)},
                     widths, Style::Text, 0, false});
}

std::string count(long entries) { return entries < 0 ? "unknown" : std::to_string(entries); }

void addBooks(std::vector<Row>& rows, const PackContents& pack) {
  rows.push_back(paragraph("The books", Style::Strong, 8));
  const std::vector<double> widths = {0.16, 0.14, 0.14, 0.56};
  Row heading{{"Book", "Entries before", "Entries after", "What the run did"}, widths,
              Style::Strong, 0, true};
  rows.push_back(std::move(heading));
  for (const BookFacts& book : pack.books) {
    const std::string name = book.role == "old" ? "Old book (predecessor's)"
                                                : "New book (successor's)";
    rows.push_back(Row{{name, count(book.entriesBefore), count(book.entriesAfter),
                        book.changed.empty() ? "no changes" : book.changed},
                       widths, Style::Text, 0, true});
  }
  rows.push_back(paragraph(
      "Removed: entries that do not belong in the book on the date (the old book loses the guns "
      "received after it; the new book, those that had left before it). Handed over: guns still "
      "on hand, recorded in the old book as disposed of to the successor on the date. Carried "
      "over: the same guns, recorded in the new book as received from the predecessor on the "
      "date.", Style::Cell, 2));
}

void addVerdicts(std::vector<Row>& rows, const PackContents& pack) {
  for (const Verdict& verdict : pack.verdicts) {
    rows.push_back(paragraph(verdict.title, Style::Strong, 8));
    rows.push_back(paragraph(verdict.verdict, Style::Strong));
    for (const std::string& line : verdict.details) rows.push_back(paragraph(line, Style::Cell));
  }
  rows.push_back(paragraph("Guns left open in the old book (no date of disposition)",
                           Style::Strong, 8));
  if (pack.openGuns.empty()) rows.push_back(paragraph("none"));
  for (const std::string& gun : pack.openGuns) rows.push_back(paragraph(gun, Style::Cell));
}

void addRecord(std::vector<Row>& rows, const PackContents& pack) {
  rows.push_back(paragraph("The record of the run", Style::Strong, 8));
  rows.push_back(fact("Report folder", pack.reportFolder));
  rows.push_back(fact("Program", pack.program));
  rows.push_back(fact("Run", pack.kind + ", " + pack.outcome));
  for (const BookFacts& book : pack.books) {
    rows.push_back(fact(book.role + " book file", book.file));
    rows.push_back(fact("  SHA-256 before", book.sha256Before));
    rows.push_back(fact("  SHA-256 after", book.sha256After));
  }
  rows.push_back(fact("Operator", orNotGiven(pack.operatorName)));
  const std::vector<double> widths = {0.5, 0.5};
  const std::string line = "Signature: ______________________   Date: ____________";
  rows.push_back(Row{{"Predecessor (" + pack.predecessor.name + ")",
                      "Successor (" + pack.successor.name + ")"}, widths, Style::Text, 18, false});
  rows.push_back(Row{{line, line}, widths, Style::Text, 14, false});
}

Section statement(const PackContents& pack) {
  Section section{"Closing statement: change of licensee on " + pack.transferDate, {}, {}, {}, {}};
  std::vector<Row>& rows = section.rows;
  rows.push_back(paragraph("Transfer of the firearms acquisition and disposition record",
                           Style::Title));
  rows.push_back(paragraph(
      "On " + pack.transferDate + " the licence of this business passed from the predecessor to "
      "the successor named below. The predecessor's record (the old book) was closed out on that "
      "date: every gun still on hand was recorded as disposed of to the successor, with the date "
      "of transfer and the successor's name and licence number, and the book's final entry is "
      "marked. The successor's record (the new book) opens with those guns, received from the "
      "predecessor on the same date. The pages after this statement list both books in the "
      "columns of 27 CFR 478.125(e).", Style::Text, 4));
  rows.push_back(fact("Date of transfer", pack.transferDate));
  addParties(rows, pack);
  addBooks(rows, pack);
  addVerdicts(rows, pack);
  addRecord(rows, pack);
  return section;
}

Section listing(std::string title, const std::vector<ListingRow>& entries) {
  Section section{std::move(title), {}, {}, {}, {}};
  section.headings.assign(kListingHeadings.begin(), kListingHeadings.end());
  section.widths = {0, 0, 19, 12, 10, 0, 0, 0, 0, 21, 15};
  section.fitted = {true, true, false, false, false, true, true, true, true, false, false};
  for (const ListingRow& entry : entries)
    section.rows.push_back(Row{{entry.begin(), entry.end()}, {}, Style::Cell, 0, true});
  if (entries.empty()) section.rows.push_back(paragraph("No entries.", Style::Text));
  return section;
}

}  // namespace

Document packDocument(const PackContents& pack) {
  Document document;
  document.headerLeft = pack.store;
  document.headerRight = "Date of transfer: " + pack.transferDate;
  document.footer = "Inspector's pack of " + pack.reportFolder;
  document.sections.push_back(statement(pack));
  document.sections.push_back(listing(
      "Old book (predecessor's): closing listing, every entry, " +
          std::to_string(pack.oldListing.size()) + " entries",
      pack.oldListing));
  document.sections.push_back(listing(
      "New book (successor's): opening listing, the entries carried over, " +
          std::to_string(pack.newListing.size()) + " entries",
      pack.newListing));
  return document;
}

}  // namespace varnok::pack
