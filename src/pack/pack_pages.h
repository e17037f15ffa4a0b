// The pack's pages and CSV files from what it shows.
#pragma once

#include <string>
#include <vector>

#include "pack/pack_contents.h"
#include "pack/pdf_document.h"

namespace varnok::pack {

// The closing statement, the old book's closing listing and the new book's
// opening listing.
Document packDocument(const PackContents& pack);

// A listing as CSV: RFC 4180, UTF-8, CR LF, the headings first; a cell's
// lines joined by "; "; a cell a spreadsheet would run as a formula (one
// beginning with =, +, -, @, a tab or a carriage return) written after an
// apostrophe.
std::string listingCsv(const std::vector<ListingRow>& rows);

}  // namespace varnok::pack
