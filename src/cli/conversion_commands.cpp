// `varnok-cli convert` and `varnok-cli fix`: the conversion run and the late
// disposal transfer, with one option for each box of the window.
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/date_shape.h"
#include "cli/headless_view.h"
#include "conversion/converter.h"
#include "conversion/date_check.h"
#include "recordmanager/record_manager.h"
#include "report/run_report.h"

namespace varnok::cli {
namespace {

struct ConversionOptions {
  conversion::FormValues input;
  std::string onError = "abort";
  bool preview = false;
  bool allowCutModels = false;
  bool again = false;
  std::string reportDir;
  PackRequest pack;
};

// The options named after the boxes a run requires, in the order of --help.
struct BoxOption {
  std::string name;
  conversion::TextBox box;
  int index;
};

const std::vector<BoxOption>& requiredBoxOptions() {
  using conversion::TextBox;
  static const std::vector<BoxOption> options = [] {
    std::vector<BoxOption> made = {{"--old", TextBox::OldBookFolder, 0},
                                   {"--new", TextBox::NewBookFolder, 0}};
    for (int i = 0; i < 6; ++i)
      made.push_back(
          {std::string("--previous-") + kLicenseeParts[i], TextBox::PreviousLicensee, i});
    for (int i = 0; i < 6; ++i)
      made.push_back({std::string("--new-") + kLicenseeParts[i], TextBox::NewLicensee, i});
    return made;
  }();
  return options;
}

// What a refused input lacks, in the options' words: the options left out
// (or given empty), and a date that is no day of the calendar.
void sayWhatTheInputLacks(conversion::FormValues input) {
  std::string missing;
  for (const BoxOption& option : requiredBoxOptions())
    if (input.box(option.box, option.index).empty())
      missing += (missing.empty() ? "" : ", ") + option.name;
  if (input.conversionDate.empty()) missing += missing.empty() ? "--date" : ", --date";
  if (!missing.empty()) std::cout << "Missing: " << missing << "." << std::endl;
  if (!input.conversionDate.empty() && !conversion::isValidDate(input.conversionDate))
    std::cout << "--date " << input.conversionDate << " is not a day of the calendar." << std::endl;
}

void addFormOptions(CLI::App& command, ConversionOptions& options, bool conversion) {
  conversion::FormValues& in = options.input;
  command.add_option("--old", in.oldBookFolder, "Old gun book folder")->group("Books");
  command.add_option("--new", in.newBookFolder, "New gun book folder")->group("Books");
  command
      .add_option("--date", in.conversionDate,
                  "Date to convert (the end of the old gun book), MM/DD/YYYY")
      ->check(CLI::Validator(checkDateShape, "MM/DD/YYYY"))
      ->group("Books");
  for (int i = 0; i < 6; ++i) {
    command.add_option(std::string("--previous-") + kLicenseeParts[i], in.previousLicensee[i],
                       std::string("Previous gun licensee: ") + kLicenseePartNames[i])
        ->group("Previous gun licensee");
  }
  for (int i = 0; i < 6; ++i) {
    command.add_option(std::string("--new-") + kLicenseeParts[i], in.newLicensee[i],
                       std::string("New gun licensee: ") + kLicenseePartNames[i])
        ->group("New gun licensee");
  }
  if (conversion) {
    // The late disposal transfer reads neither the prefix nor the options.
    command.add_option("--prefix", in.newBookPrefix, "Prefix in new gunbook")->group("Options");
    command
        .add_flag("--allow-cut-models", options.allowCutModels,
                  "Convert even when the prefix does not fit in front of a model (Field06 holds "
                  "15 characters) and cuts it; without it such a run is refused")
        ->group("Options");
    command
        .add_flag("--again", options.again,
                  "Convert even when the books look converted on the date already (exactly as "
                  "a conversion in the report history left them, or reading as converted); "
                  "without it such a run is refused")
        ->group("Options");
    command.add_flag("--keep-received-from", in.keepReceivedFrom,
                     "Leave Received From Info in New book")
        ->group("Options");
    command.add_flag("--keep-date-in", in.keepDateIn, "Save Original Date-In in New Book")
        ->group("Options");
  }
  command.add_option("--on-error", options.onError,
                     "How to answer an error report when standard input is not a terminal")
      ->check(CLI::IsMember({"abort", "ignore"}))
      ->group("Options");
  command.add_flag("--preview", options.preview,
                   "Run the very same passes but write no book: the report says what the run "
                   "would change")
      ->group("Report");
  addReportDirOption(command, options.reportDir);
  addPackOptions(command, options.pack, /*flag=*/true);
}

// The run's exit status and the reasons behind it on standard error.
void settle(const conversion::Converter& converter, const report::RunReport& report) {
  if (converter.outcome() == conversion::Converter::Outcome::BookNotOpened) {
    // The window's message says only that the book does not exist.
    for (const std::string& why : converter.unopenedBooks())
      std::cerr << "varnok-cli: " << why << std::endl;
  }
  for (const std::string& problem : report.problems())
    std::cerr << "varnok-cli: " << problem << std::endl;
  for (const std::string& role : report.unsavedBooks())
    std::cerr << "varnok-cli: the " << role << " book's changes were NOT saved: its last Close "
              << "was refused, so it is as it was before that pass (see the report)" << std::endl;
  if (converter.outcome() == conversion::Converter::Outcome::Declined) {
    std::cerr << "varnok-cli: no book was written: the prefix would cut the model of "
              << converter.cutModels().size()
              << " gun(s); give --allow-cut-models to convert all the same" << std::endl;
  }
  if (converter.outcome() == conversion::Converter::Outcome::DeclinedAgain) {
    std::cerr << "varnok-cli: no book was written: the books look converted on the date already: "
              << converter.convertedAlready() << "; give --again to convert them all the same"
              << std::endl;
    return setExitStatus(kConvertedAlreadyExit);
  }
  if (converter.outcome() == conversion::Converter::Outcome::BookNotOpened) {
    setExitStatus(kRefusedExit);
  } else if (converter.outcome() == conversion::Converter::Outcome::UnstorableText) {
    setExitStatus(kUsageExit);
  } else if (converter.outcome() != conversion::Converter::Outcome::Completed) {
    setExitStatus(kRefusedExit);
  } else if (converter.ignoredReports() > 0) {
    std::cerr << converter.ignoredReportsWarning() << std::endl;
    setExitStatus(kIgnoredExit);
  } else {
    setExitStatus(kSuccessExit);
  }
}

// The run's input checks, made before the report: a refused input opens no
// book and leaves no report. True when refused, with the exit status set.
bool refuseInput(const ConversionOptions& options, report::RunKind kind, HeadlessView& view) {
  conversion::Converter checker(view, rm::bookEngine());
  bool refused = false;
  {
    const errortrap::ScopedDefaultReporter reporting(&view);
    refused = kind == report::RunKind::Fix ? checker.refuseTransferInput()
                                           : checker.refuseConversionInput();
  }
  if (!refused) return false;
  sayWhatTheInputLacks(options.input);
  setExitStatus(checker.outcome() == conversion::Converter::Outcome::UnstorableText
                    ? kUsageExit
                    : kRefusedExit);
  return true;
}

// convert --pack, fix --pack: the pack of a run that ran to its end.
void packAfterRun(const conversion::Converter& converter, const ConversionOptions& options,
                  const std::filesystem::path& folder) {
  if (options.preview || converter.outcome() != conversion::Converter::Outcome::Completed) {
    std::cerr << "varnok-cli: no inspector's pack was made: "
              << (options.preview ? "a preview writes no book" : "the run did not run to its end")
              << std::endl;
    return;
  }
  const int runStatus = exitStatus();
  makePackOf(folder, options.pack);
  if (runStatus != kSuccessExit) setExitStatus(runStatus);
}

void run(ConversionOptions& options, report::RunKind kind,
         void (conversion::Converter::*procedure)()) {
  const auto mode = options.preview ? report::Mode::Preview : report::Mode::Run;
  const auto answer =
      options.onError == "ignore" ? errortrap::Answer::Ignore : errortrap::Answer::Abort;
  HeadlessView view(options.input, answer);
  view.allowCutModels = options.allowCutModels;
  view.again = options.again;
  if (refuseInput(options, kind, view) || refusePackOptions(options.pack)) return;

  std::unique_ptr<report::RunReport> report;
  try {
    report = std::make_unique<report::RunReport>(kind, mode, reportsFolder(options.reportDir),
                                                 options.input, rm::bookEngine());
  } catch (const std::exception& error) {
    std::cerr << "varnok-cli: no book was opened: " << error.what() << std::endl;
    return setExitStatus(kRefusedExit);
  }
  sayStoppedRunsSettled(report->recoveredRuns());
  report->recordLicenceDetails(
      {options.pack.previousLicence, options.pack.newLicence, options.pack.operatorName});
  view.reportFolder = report->folder().string();
  conversion::Converter converter(view, report->recordManager());
  converter.previewOnly = options.preview;
  converter.refusalDetails = [&report] { return report->problems(); };
  converter.earlierConversion = [&report] {
    return report->earlierConversionOfTheBooks().string();
  };
  {
    const errortrap::ScopedDefaultReporter reporting(&view);
    (converter.*procedure)();
  }
  settle(converter, *report);
  if (options.preview) std::cout << report->previewText(converter.cutModels()) << std::flush;
  // The pack reads the final summary; the report's line stays the last.
  finishReport([&] {
    const std::filesystem::path folder = report->finish(converter);
    if (options.pack.wanted) packAfterRun(converter, options, folder);
    return folder;
  }, report->folder());
}

}  // namespace

void addConversionCommands(CLI::App& app) {
  auto convertOptions = std::make_shared<ConversionOptions>();
  CLI::App* convert = app.add_subcommand(
      "convert",
      "Convert the books: close out the old book on the date and rebase the new book on it");
  addFormOptions(*convert, *convertOptions, /*conversion=*/true);
  convert->callback(
      [convertOptions] {
        run(*convertOptions, report::RunKind::Convert, &conversion::Converter::runConversion);
      });

  auto fixOptions = std::make_shared<ConversionOptions>();
  CLI::App* fix = app.add_subcommand(
      "fix",
      "Late disposal transfer: move every gun disposed of after the date from the old book "
      "into the new one");
  addFormOptions(*fix, *fixOptions, /*conversion=*/false);
  fix->callback([fixOptions] {
    run(*fixOptions, report::RunKind::Fix, &conversion::Converter::transferLateDisposals);
  });
}

}  // namespace varnok::cli
