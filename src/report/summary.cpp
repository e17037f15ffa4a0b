#include "report/summary.h"

#include <ctime>

#include "reportfolder/changes.h"
#include "reportfolder/file_copy.h"
#include "reportfolder/report_folder.h"
#include "varnok/version.h"

namespace varnok::report {
namespace {

std::string timeText(std::chrono::system_clock::time_point at) {
  return reportfolder::localTimeText(at, "%Y-%m-%d %H:%M:%S %z");
}

std::string licensee(const std::array<std::string, 6>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : " | ") + part;
  return text;
}

std::string count(long entries) { return entries < 0 ? "unknown" : std::to_string(entries); }

std::string bookText(const BookRecord& book, bool finished, bool preview) {
  // An import's one book has the role "book".
  std::string text = "  " + (book.role == "book" ? book.role : book.role + " book") + ": " +
                     book.path + "\n";
  if (!book.opened) return text + "    not opened by the run\n";
  if (book.saving && !finished) {
    text += "    entries: " + count(book.entriesBefore) +
            " before; its changes were being saved as this was written (should the run be "
            "cut short, its section Cut short says whether they were)\n";
  } else if (book.entriesAfter < 0 && !finished) {
    text += "    entries: " + count(book.entriesBefore) + " before; nothing of it saved yet\n";
  } else {
    text += "    entries: " + count(book.entriesBefore) + " before, " +
            count(book.entriesAfter < 0 ? book.entriesBefore : book.entriesAfter) +
            (preview ? " after the run (previewed)\n" : " after\n");
  }
  const auto hash = [](const std::string& sha256) {
    return sha256.empty() ? std::string("not worked out yet") : sha256;
  };
  text += "    SHA-256 before: " + hash(book.sha256Before) + "\n";
  if (finished) {
    text += "    SHA-256 after:  " + hash(book.sha256After) +
            (book.sha256After == book.sha256Before ? " (unchanged)" : "") + "\n";
  }
  for (const reportfolder::CopiedFile& backup : book.backups)
    text += "    backup: " + backup.path.filename().string() + ", SHA-256 " + hash(backup.sha256) +
            "\n";
  if (book.backups.empty())
    text += preview ? "    backup: none (a preview writes no book)\n" : "    backup: none\n";
  text += (preview ? "    would change: " : "    changed: ") + reportfolder::tallyText(book.tally) +
          "\n";
  if (book.unsaved)
    text += "    NOT SAVED: its last Close was refused, so the changes of that pass were "
            "dropped and the book is as it was before it\n";
  return text;
}

std::string errorReportsText(const SummaryFacts& facts) {
  if (!facts.finished) return {};
  if (facts.ignoredReports == 0)
    return "Error reports: none was answered Ignore (Abort would have ended the run before "
           "this summary)\n";
  return "Error reports: every one was answered; " + std::to_string(facts.ignoredReports) +
         " answered Ignore, each leaving one step undone: check both books\n";
}

}  // namespace

std::string formInputsText(RunKind kind, Mode mode, const conversion::FormValues& form) {
  std::string text = "  run: ";
  text += kind == RunKind::Fix ? "late-disposal transfer (fix)" : "conversion (convert)";
  text += mode == Mode::Preview ? ", previewed: no book is written\n" : "\n";
  text += "  old book folder: " + form.oldBookFolder + "\n";
  text += "  new book folder: " + form.newBookFolder + "\n";
  text += "  conversion date: " + form.conversionDate + "\n";
  text += "  previous licensee: " + licensee(form.previousLicensee) + "\n";
  text += "  new licensee: " + licensee(form.newLicensee) + "\n";
  text += "  prefix: \"" + form.newBookPrefix + "\"\n";
  text += std::string("  Leave Received From Info in New book: ") +
          (form.keepReceivedFrom ? "yes" : "no") + "\n";
  text += std::string("  Save Original Date-In in New Book: ") + (form.keepDateIn ? "yes" : "no") +
          "\n";
  return text;
}

std::string licenceDetailsText(const LicenceDetails& details) {
  std::string text;
  if (!details.previousLicence.empty())
    text += "  previous licence number: " + details.previousLicence + "\n";
  if (!details.newLicence.empty()) text += "  new licence number: " + details.newLicence + "\n";
  if (!details.operatorName.empty()) text += "  operator: " + details.operatorName + "\n";
  return text;
}

std::string importInputsText(const std::string& folder, const std::string& csvFile) {
  return "  run: CSV import\n  book folder: " + folder + "\n  CSV file: " + csvFile + "\n";
}

std::string outcomeText(const conversion::Converter& converter) {
  using Outcome = conversion::Converter::Outcome;
  switch (converter.outcome()) {
    case Outcome::Completed: return "ran to its end";
    case Outcome::Refused: return "the input was refused; no book was opened";
    case Outcome::UnstorableText:
      return "refused: a box holds text a book cannot store; no book was opened";
    case Outcome::Declined:
      return "declined: the prefix would cut models and the operator answered No; no book was "
             "written";
    case Outcome::DeclinedAgain:
      return "declined: the books look converted on the date already: " +
             converter.convertedAlready() +
             "; the operator answered No to converting them again; no book was written";
    case Outcome::NotRun: return "not run";
    case Outcome::BookNotOpened: break;
  }
  std::string text = "a book could not be opened";
  for (const std::string& why : converter.unopenedBooks()) text += "; " + why;
  return text;
}

std::string summaryText(const SummaryFacts& facts) {
  std::string text = std::string("Varnok report: ") + facts.kind + "\n";
  text += "program: varnok " VARNOK_VERSION "\n";
  text += "started: " + timeText(facts.started) + "\n";
  text += facts.finished ? "ended: " + timeText(facts.ended) + "\n"
                         : "ended: NOT FINISHED: under way at " + timeText(facts.ended) +
                               ", or ended since by Abort, a crash or a kill; each book "
                               "holds only the changes saved by then, which changes.csv "
                               "lists\n";
  if (facts.finished) text += "outcome: " + facts.outcome + "\n";
  text += "\nInputs\n" + facts.inputs + "\nBooks\n";
  for (const BookRecord& book : facts.books) text += bookText(book, facts.finished, facts.preview);
  if (!facts.cutModels.empty()) {
    text += "  models cut by the prefix (Field06 holds 15 characters): " +
            std::to_string(facts.cutModels.size()) + " carried-over entries, stock numbers";
    for (std::size_t i = 0; i < facts.cutModels.size(); ++i)
      text += (i == 0 ? " " : ", ") + facts.cutModels[i];
    text += "\n";
  }
  text += "\nchanges.csv: " + std::to_string(facts.changeRows) + " rows (" +
          std::string(reportfolder::kRowsOfChanges) + ")\n";
  text += errorReportsText(facts);
  for (const std::string& problem : facts.problems) text += "problem: " + problem + "\n";
  // The reconciliation of the books before the run.
  text += "\nReconciliation\n";
  text += facts.reconciliation.empty() ? "  not made by this run\n" : facts.reconciliation;
  // The check of the books as the run left them (or would leave them).
  if (!facts.check.empty())
    text += std::string("\nCheck of the books as the run ") +
            (facts.preview ? "would leave them" : "left them") + "\n" + facts.check;
  return text;
}

}  // namespace varnok::report
