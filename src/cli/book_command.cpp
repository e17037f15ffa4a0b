// `varnok-cli book`: make a gun book, fill it from CSV, write it out as CSV,
// report on it, and put a backup of it back. Each request names the book's
// folder as an operator would type it on the window.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "booktool/book_stat.h"
#include "booktool/book_tool.h"
#include "cli/commands.h"
#include "recordmanager/record_manager.h"
#include "report/run_report.h"
#include "reportfolder/report_folder.h"
#include "restore/book_restore.h"

namespace varnok::cli {
namespace {

struct BookOptions {
  std::string folder;
  std::string file;
  std::string reportDir;
  bool otherBook = false;
};

// A refusal: one line on standard error, exit status 1.
void refuse(std::string_view command, const std::string& problem) {
  std::cerr << "varnok-cli book " << command << ": " << problem << '\n';
  setExitStatus(kRefusedExit);
}

bool readWholeFile(const std::string& path, std::string& text, std::string& problem) {
  std::ifstream in(path, std::ios::binary);
  if (in) {
    // Read in one piece where the size is known: a large import file is
    // then held once, not grown into twice its size.
    const bool sized = bool(in.seekg(0, std::ios::end));
    const std::streamoff size = sized ? std::streamoff(in.tellg()) : -1;
    in.clear();
    if (size >= 0 && in.seekg(0)) {
      text.resize(static_cast<std::size_t>(size));
      in.read(text.data(), size);
      text.resize(static_cast<std::size_t>(in.gcount()));
    } else {
      in.clear();
      text.assign(std::istreambuf_iterator<char>(in), {});
    }
  }
  if (!in && !in.eof()) {
    problem = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

// Writes beside the target and renames it into place, so that a failed
// export never leaves half a file under the name asked for.
bool writeWholeFile(const std::string& path, const std::string& text, std::string& problem) {
  const std::string partial = path + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (out) out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
      problem = "cannot write " + path + ": " + std::strerror(errno);
      std::remove(partial.c_str());
      return false;
    }
  }
  if (std::rename(partial.c_str(), path.c_str()) != 0) {
    problem = "cannot write " + path + ": " + std::strerror(errno);
    std::remove(partial.c_str());
    return false;
  }
  return true;
}

void runCreate(const BookOptions& options) {
  const auto outcome = booktool::createBook(rm::bookEngine(), options.folder);
  if (!outcome.ok) return refuse("create", outcome.problem);
  std::cout << "created empty book " << gunbook::bookPath(options.folder) << '\n';
}

void runImport(const BookOptions& options) {
  std::unique_ptr<report::RunReport> report;
  try {
    report = std::make_unique<report::RunReport>(report::BookImport{options.folder, options.file},
                                                 reportsFolder(options.reportDir),
                                                 rm::bookEngine());
  } catch (const std::exception& error) {
    return refuse("import", std::string("nothing imported: ") + error.what());
  }
  sayStoppedRunsSettled(report->recoveredRuns());
  std::string text, problem, outcome;
  std::size_t imported = 0;
  if (!readWholeFile(options.file, text, problem)) {
    refuse("import", problem);
    outcome = "refused: " + problem;
  } else {
    const auto result = booktool::importBook(report->recordManager(), options.folder,
                                             std::move(text), options.file, &imported);
    for (const std::string& why : report->problems()) std::cerr << "varnok-cli: " << why << '\n';
    if (!result.ok) {
      refuse("import", result.problem);
      outcome = "refused: " + result.problem;
    } else {
      std::cout << "imported " << imported << " entries into "
                << gunbook::bookPath(options.folder) << '\n';
      outcome = "imported " + std::to_string(imported) + " entries";
    }
  }
  finishReport([&] { return report->finish(outcome); }, report->folder());
}

void runExport(const BookOptions& options) {
  settleStoppedRuns();
  std::string csv, problem;
  std::size_t exported = 0;
  const auto outcome = booktool::exportBook(rm::bookEngine(), options.folder, csv, &exported);
  if (!outcome.ok) return refuse("export", outcome.problem);
  if (options.file.empty()) {
    std::cout.write(csv.data(), static_cast<std::streamsize>(csv.size()));
    std::cout.flush();
    if (!std::cout) refuse("export", std::string("cannot write standard output: ") +
                                         std::strerror(errno));
    return;
  }
  if (!writeWholeFile(options.file, csv, problem)) return refuse("export", problem);
  std::cout << "exported " << exported << " entries to " << options.file << '\n';
}

void runStat(const BookOptions& options) {
  settleStoppedRuns();
  booktool::BookReport report;
  const auto outcome = booktool::statBook(rm::bookEngine(), options.folder, report);
  if (!report.path.empty() && (outcome.ok || !report.integrityProblems.empty())) {
    std::cout << report.text();
  }
  if (!outcome.ok) refuse("stat", outcome.problem);
}

void runRestore(const BookOptions& options) {
  settleStoppedRuns(options.reportDir);
  std::filesystem::path reports = options.reportDir;
  if (reports.empty()) {
    try {
      reports = reportfolder::defaultReportsFolder();
    } catch (const std::exception& error) {
      return refuse("restore", error.what() + std::string("; give --report-dir"));
    }
  }
  restore::RestoredBook restored;
  const auto outcome = restore::restoreBook(rm::bookEngine(), options.folder, options.file, reports,
                                            std::chrono::system_clock::now(), restored,
                                            {.otherBook = options.otherBook});
  if (!outcome.ok) return refuse("restore", outcome.problem);
  std::cout << "restored " << restored.book.string();
  if (restored.target != restored.book)
    std::cout << " (a link to " << restored.target.string() << ")";
  std::cout << " from " << options.file << " (SHA-256 " << restored.restoredSha256 << ")\n";
  if (!restored.origin.empty()) std::cout << "the backup is " << restored.origin << "\n";
  if (restored.keptBook.empty()) {
    std::cout << "there was no book file to keep\n";
  } else {
    std::cout << "the replaced book"
              << (restored.replacedState.empty() ? "" : " (" + restored.replacedState + ")")
              << " is kept as " << restored.keptBook.string() << " (SHA-256 "
              << restored.replacedSha256 << ")\n";
  }
  sayWhereTheReportIs(restored.reportFolder);
}

CLI::App* addFolderCommand(CLI::App& book, const char* name, const char* description,
                           std::shared_ptr<BookOptions> options) {
  CLI::App* command = book.add_subcommand(name, description);
  command->add_option("DIR", options->folder,
                      "The book's folder, as typed on the window (c:\\books or /srv/books/)")
      ->required();
  return command;
}

}  // namespace

void addBookCommand(CLI::App& app) {
  CLI::App* book = app.add_subcommand(
      "book", "Make, fill, write out or inspect a gun book (the file FILE3.DAT in a folder)");
  book->require_subcommand(1);
  auto options = std::make_shared<BookOptions>();

  addFolderCommand(*book, "create",
                   "Make an empty book in DIR, making DIR when it is missing. An existing book "
                   "is never overwritten.",
                   options)
      ->callback([options] { runCreate(*options); });

  CLI::App* import = addFolderCommand(
      *book, "import",
      "Add the entries of a CSV file to the book in DIR, all or nothing: a file with any bad "
      "row is refused whole, naming its line and column, and the book is left as it was.",
      options);
  import->add_option("FILE", options->file, "CSV file: a header of the 28 field names, then "
                                            "one row per entry")
      ->required();
  addReportDirOption(*import, options->reportDir);
  import->callback([options] { runImport(*options); });

  CLI::App* exportCommand = addFolderCommand(
      *book, "export",
      "Write every entry of the book in DIR as CSV, in Field00 order: to FILE, or to standard "
      "output when no file is named.",
      options);
  exportCommand->add_option("FILE", options->file, "CSV file to write");
  exportCommand->callback([options] { runExport(*options); });

  addFolderCommand(*book, "stat",
                   "Show the book's path, format version and number of entries, and check that "
                   "it holds together.",
                   options)
      ->callback([options] { runStat(*options); });

  CLI::App* restore = addFolderCommand(
      *book, "restore",
      "Put BACKUP (a copy of a book file, FILE3.DAT as it was) back as the book in DIR, after "
      "checking that it is a sound book and, for a backup in a report folder, that it holds "
      "the bytes and is of the book its summary.txt says. A damaged, empty or missing book is "
      "restored too; a book open elsewhere is refused. The file it replaces (the one a linked "
      "FILE3.DAT leads to) keeps its owner, group and mode, and is kept in a new report folder, "
      "with a summary; the last line of output names that folder.",
      options);
  restore->add_option("BACKUP", options->file, "The backup to put back")->required();
  restore->add_option("--report-dir", options->reportDir,
                      "Where to make the report folder (default: "
                      "$XDG_DATA_HOME/varnok/reports or ~/.local/share/varnok/reports)");
  restore->add_flag("--other-book", options->otherBook,
                    "Put BACKUP back even though its report says it is a backup of another book");
  restore->callback([options] { runRestore(*options); });
}

}  // namespace varnok::cli
