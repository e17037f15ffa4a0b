// `varnok-cli convert` and `varnok-cli fix`: the conversion run and the late
// disposal transfer, with one option for each box of the window.
#include <iostream>
#include <memory>
#include <regex>
#include <string>

#include "cli/commands.h"
#include "cli/headless_view.h"
#include "conversion/converter.h"
#include "gunbook/book_tool.h"
#include "recordmanager/record_manager.h"

namespace varnok::cli {
namespace {

struct ConversionOptions {
  FormInput input;
  std::string onError = "abort";
};

// What the masked date box can hold: two digits, slash, two digits, slash,
// four digits. Whether it is a real date is the run's to judge.
std::string checkDateShape(const std::string& text) {
  static const std::regex shape("[0-9]{2}/[0-9]{2}/[0-9]{4}");
  if (std::regex_match(text, shape)) return {};
  return "the date must be given as MM/DD/YYYY (two digits, slash, two digits, slash, four "
         "digits), e.g. 06/30/2025; got \"" + text + "\"";
}

void addFormOptions(CLI::App& command, ConversionOptions& options) {
  FormInput& in = options.input;
  command.add_option("--old", in.oldFolder, "Old gun book folder")->group("Books");
  command.add_option("--new", in.newFolder, "New gun book folder")->group("Books");
  command.add_option("--date", in.date, "Date to convert (the end of the old gun book), MM/DD/YYYY")
      ->check(CLI::Validator(checkDateShape, "MM/DD/YYYY"))
      ->group("Books");
  static const char* const kParts[6] = {"last", "first", "address", "city", "state", "zip"};
  static const char* const kPartNames[6] = {"last name", "first name", "address",
                                            "city",      "state",      "zip"};
  for (int i = 0; i < 6; ++i) {
    command.add_option(std::string("--previous-") + kParts[i], in.previousLicensee[i],
                       std::string("Previous gun licensee: ") + kPartNames[i])
        ->group("Previous gun licensee");
  }
  for (int i = 0; i < 6; ++i) {
    command.add_option(std::string("--new-") + kParts[i], in.newLicensee[i],
                       std::string("New gun licensee: ") + kPartNames[i])
        ->group("New gun licensee");
  }
  command.add_option("--prefix", in.prefix, "Prefix in new gunbook")->group("Options");
  command.add_flag("--keep-received-from", in.keepReceivedFrom,
                   "Leave Received From Info in New book")
      ->group("Options");
  command.add_flag("--keep-date-in", in.keepDateIn, "Save Original Date-In in New Book")
      ->group("Options");
  command.add_option("--on-error", options.onError,
                     "How to answer an error report when standard input is not a terminal")
      ->check(CLI::IsMember({"abort", "ignore"}))
      ->group("Options");
}

// The window's message for a book that cannot be opened says only that it
// does not exist; say on standard error what is wrong with each such book.
void explainUnopenedBooks(HeadlessView& view) {
  const std::pair<conversion::TextBox, const char*> books[] = {
      {conversion::TextBox::OldBookFolder, "old "}, {conversion::TextBox::NewBookFolder, "new "}};
  for (const auto& [box, name] : books) {
    const auto probe = gunbook::probeBook(rm::bookEngine(), view.text(box, 0));
    if (!probe.ok) std::cerr << "varnok-cli: " << name << probe.problem << std::endl;
  }
}

void run(const ConversionOptions& options, void (conversion::Converter::*procedure)()) {
  const auto answer =
      options.onError == "ignore" ? errortrap::Answer::Ignore : errortrap::Answer::Abort;
  HeadlessView view(options.input, answer);
  errortrap::setDefaultReporter(&view);
  conversion::Converter converter(view, rm::bookEngine());
  (converter.*procedure)();
  errortrap::setDefaultReporter(nullptr);
  if (converter.outcome() == conversion::Converter::Outcome::BookNotOpened) {
    explainUnopenedBooks(view);
    setExitStatus(kRefusedExit);
  } else if (converter.outcome() == conversion::Converter::Outcome::UnstorableText) {
    setExitStatus(kUsageExit);
  } else if (converter.outcome() != conversion::Converter::Outcome::Completed) {
    setExitStatus(kRefusedExit);
  } else if (view.ignoredReports() > 0) {
    std::cerr << view.ignoredReports()
              << " error report(s) were answered Ignore: check both books before using them."
              << std::endl;
    setExitStatus(kIgnoredExit);
  } else {
    setExitStatus(kSuccessExit);
  }
}

}  // namespace

void addConversionCommands(CLI::App& app) {
  auto convertOptions = std::make_shared<ConversionOptions>();
  CLI::App* convert = app.add_subcommand(
      "convert",
      "Convert the books: close out the old book on the date and rebase the new book on it");
  addFormOptions(*convert, *convertOptions);
  convert->callback(
      [convertOptions] { run(*convertOptions, &conversion::Converter::runConversion); });

  auto fixOptions = std::make_shared<ConversionOptions>();
  CLI::App* fix = app.add_subcommand(
      "fix",
      "Late disposal transfer: move every gun disposed of after the date from the old book "
      "into the new one");
  addFormOptions(*fix, *fixOptions);
  fix->callback([fixOptions] { run(*fixOptions, &conversion::Converter::transferLateDisposals); });
}

}  // namespace varnok::cli
