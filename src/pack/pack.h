// The inspector's pack of a run: the closing statement, the old book's
// closing listing and the new book's opening listing as one printable PDF
// (inspector-pack.pdf), and both listings as CSV (inspector-old-book.csv,
// inspector-new-book.csv), written into the run's report folder.
//
// Both front ends call makePack(); it needs no display. A window asks for
// the licence numbers, the operator's name (prefilled with
// packDetailsOf(folder)) and the paper, calls makePack() as it runs a
// conversion (the book engine is used from one thread at a time), and then
// opens or prints the PDF it returns, or shows the problem.
#pragma once

#include <filesystem>
#include <string>

#include "recordmanager/record_manager.h"
#include "report/summary.h"

namespace varnok::pack {

enum class Paper { Letter, A4 };

struct PackOptions {
  Paper paper = Paper::Letter;
  // Given ones take the place of the summary's; checked licence numbers
  // (see licence.h). Left empty, the summary's are used, or the statement
  // says "not given".
  report::LicenceDetails details;
};

struct PackResult {
  bool ok = false;
  std::filesystem::path pdf;  // the PDF made, when ok
  std::string problem;        // otherwise what is wrong and where, one line
};

// Makes the pack of the run whose report folder is `reportFolder`, from the
// books as that run left them: each book is read through `engine` (never
// written) and must still hold the bytes of the summary's "SHA-256 after".
// Refused, with nothing written, for a folder that is not a finished
// convert or fix run's (a preview wrote no book), a book that has changed
// since the run (the problem names it and both hashes), a book that cannot
// be read, or a licence number that is not one. The three files replace
// any earlier pack of the folder; each is 0600.
PackResult makePack(const std::filesystem::path& reportFolder, const PackOptions& options,
                    rm::RecordManager& engine = rm::bookEngine());

// The licence numbers and operator's name the run's summary records (empty
// where none was given), to prefill a dialog. Empty details when the
// summary cannot be read.
report::LicenceDetails packDetailsOf(const std::filesystem::path& reportFolder);

// "letter" or "a4" (any case) -> the paper; false for another word.
bool paperFromName(std::string_view name, Paper& paper);

}  // namespace varnok::pack
