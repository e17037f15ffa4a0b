#include "pack/pack.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>
#include <tuple>

#include "booktool/book_tool.h"
#include "pack/licence.h"
#include "pack/pack_pages.h"
#include "reportfolder/file_copy.h"
#include "reportfolder/report_dir.h"
#include "reportfolder/summary_reading.h"

namespace varnok::pack {
namespace fs = std::filesystem;
namespace {

// A refusal: what is wrong and where.
struct Refused : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string input(const reportfolder::RunSummaryText& summary, const std::string& name) {
  const auto found = summary.inputs.find(name);
  return found == summary.inputs.end() ? std::string() : found->second;
}

report::LicenceDetails summaryDetails(const reportfolder::RunSummaryText& summary) {
  return {input(summary, "previous licence number"), input(summary, "new licence number"),
          input(summary, "operator")};
}

// The given details, checked, over the summary's.
report::LicenceDetails chosenDetails(const report::LicenceDetails& given,
                                     report::LicenceDetails chosen) {
  for (const auto& [text, into, who] :
       {std::tuple{&given.previousLicence, &chosen.previousLicence, "predecessor's"},
        std::tuple{&given.newLicence, &chosen.newLicence, "successor's"}}) {
    if (text->empty()) continue;
    if (std::string why = checkLicenceNumber(*text, *into); !why.empty())
      throw Refused(std::string("the ") + who + " licence: " + why);
  }
  if (!given.operatorName.empty()) chosen.operatorName = given.operatorName;
  return chosen;
}

reportfolder::RunSummaryText readSummary(const reportfolder::ReportDir& dir) {
  std::string text;
  try {
    text = dir.readFile("summary.txt");
  } catch (const std::system_error& error) {
    throw Refused("cannot read the summary.txt of " + dir.path().string() + ": " + error.what());
  }
  reportfolder::RunSummaryText summary;
  if (std::string why = reportfolder::readRunSummary(text, summary); !why.empty())
    throw Refused((dir.path() / "summary.txt").string() + " cannot be read as a run's summary: " +
                  why);
  if (summary.kind != "convert" && summary.kind != "fix")
    throw Refused(dir.path().string() + " is the report of " +
                  (summary.kind == "import" ? "an import" : "a " + summary.kind) +
                  "; a pack is made of a convert or fix run that wrote the books" +
                  (summary.kind == "preview" ? " (a preview writes no book)" : ""));
  if (summary.outcome.empty())
    throw Refused(dir.path().string() + " is the report of a run that did not finish (its "
                  "summary has no outcome); the books are not as a finished run left them");
  return summary;
}

// The book's entries as the run left them: its bytes must be the ones the
// summary's "SHA-256 after" gives, before and after they are read.
std::vector<gunbook::GunRecord> bookAsLeft(const reportfolder::SummaryBook& book,
                                           rm::RecordManager& engine) {
  const std::string name = "the " + book.role + " book " + book.file.string();
  if (book.sha256After.size() != 64)
    throw Refused("the summary gives no SHA-256 after the run for " + name);
  const auto checkUnchanged = [&] {
    std::string now;
    try {
      now = reportfolder::sha256OfBook(book.file);
    } catch (const std::exception& error) {
      throw Refused("cannot read " + name + ": " + error.what());
    }
    if (now != book.sha256After)
      throw Refused(name + " has changed since the run: its SHA-256 is now " + now +
                    ", the summary's \"SHA-256 after\" is " + book.sha256After +
                    "; the pack shows the books as the run left them, so none was made");
  };
  checkUnchanged();
  std::vector<gunbook::GunRecord> entries;
  const auto outcome = booktool::readEntries(engine, book.file.parent_path().string(), entries);
  if (!outcome.ok) throw Refused("cannot read " + name + ": " + outcome.problem);
  checkUnchanged();
  return entries;
}

std::string bookDateOf(const std::string& formDate) {
  if (formDate.size() != 10) throw Refused("the summary's conversion date \"" + formDate +
                                           "\" is not MM/DD/YYYY");
  return formDate.substr(6, 4) + formDate.substr(0, 2) + formDate.substr(3, 2);
}

PackContents contentsOf(const reportfolder::ReportDir& dir,
                        const reportfolder::RunSummaryText& summary,
                        const report::LicenceDetails& details, rm::RecordManager& engine) {
  PackContents pack;
  pack.kind = summary.kind;
  pack.transferDate = input(summary, "conversion date");
  pack.bookDate = bookDateOf(pack.transferDate);
  pack.predecessor = licenseeOf(input(summary, "previous licensee"), details.previousLicence);
  pack.successor = licenseeOf(input(summary, "new licensee"), details.newLicence);
  pack.store = pack.successor.name + ", " + pack.successor.address;
  pack.operatorName = details.operatorName;
  pack.program = summary.program;
  pack.reportFolder = dir.path().string();
  pack.outcome = summary.outcome;
  for (const char* role : {"old", "new"}) {
    const auto book =
        std::find_if(summary.books.begin(), summary.books.end(),
                     [&](const reportfolder::SummaryBook& b) { return b.role == role; });
    if (book == summary.books.end())
      throw Refused("the summary of " + pack.reportFolder + " names no " + role + " book");
    const std::vector<gunbook::GunRecord> entries = bookAsLeft(*book, engine);
    pack.books.push_back(BookFacts{book->role, book->file.string(), book->entriesBefore,
                                   book->entriesAfter, book->changed, book->sha256Before,
                                   book->sha256After});
    if (book->role == std::string("old")) addOldListing(entries, pack);
    else addNewListing(entries, pack);
  }
  std::string reconciliation;
  if (dir.exists("reconciliation.txt")) reconciliation = dir.readFile("reconciliation.txt");
  pack.verdicts.push_back(reconciliationVerdict(reconciliation, summary.reconciliation));
  pack.verdicts.push_back(checkVerdict(dir.exists("check.txt") ? dir.readFile("check.txt") : ""));
  return pack;
}

reportfolder::ReportDir openRunFolder(const fs::path& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error))
    throw Refused(folder.string() + " is not a report folder (no such folder)");
  try {
    return reportfolder::openReportsFolder(folder);
  } catch (const std::exception& refused) {
    throw Refused(refused.what());
  }
}

}  // namespace

PackResult makePack(const fs::path& reportFolder, const PackOptions& options,
                    rm::RecordManager& engine) {
  try {
    const reportfolder::ReportDir dir = openRunFolder(reportFolder);
    const reportfolder::RunSummaryText summary = readSummary(dir);
    const report::LicenceDetails details = chosenDetails(options.details, summaryDetails(summary));
    const PackContents pack = contentsOf(dir, summary, details, engine);
    const std::string pdf = renderPdf(packDocument(pack), options.paper);
    dir.writeFile("inspector-old-book.csv", listingCsv(pack.oldListing));
    dir.writeFile("inspector-new-book.csv", listingCsv(pack.newListing));
    dir.writeFile("inspector-pack.pdf", pdf);
    return PackResult{true, dir.path() / "inspector-pack.pdf", {}};
  } catch (const std::exception& error) {
    return PackResult{false, {}, error.what()};
  }
}

report::LicenceDetails packDetailsOf(const fs::path& reportFolder) {
  try {
    return summaryDetails(readSummary(openRunFolder(reportFolder)));
  } catch (const std::exception&) {
    return {};
  }
}

bool paperFromName(std::string_view name, Paper& paper) {
  std::string lower(name);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (lower == "letter") paper = Paper::Letter;
  else if (lower == "a4") paper = Paper::A4;
  else return false;
  return true;
}

}  // namespace varnok::pack
