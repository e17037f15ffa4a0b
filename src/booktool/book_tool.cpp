#include "booktool/book_tool.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "booktool/book_csv.h"
#include "gunbook/blanks.h"
#include "gunbook/book_cursor.h"
#include "gunbook/book_folder.h"

namespace varnok::booktool {
using namespace varnok::gunbook;
namespace {

namespace fs = std::filesystem;

std::string refusal(std::string_view typedFolder, std::string_view what) {
  return "book " + bookPath(typedFolder) + ": " + std::string(what);
}

// The folder as the file system here spells it: the record manager takes
// '\' as a separator too, the file system does not.
fs::path filesystemFolder(std::string_view typedFolder) {
  std::string folder = normaliseFolder(typedFolder);
  std::replace(folder.begin(), folder.end(), '\\', '/');
  return fs::path(folder);
}

// Why the folder's book cannot be named to the record manager; empty when
// it can.
std::string unnamable(std::string_view typedFolder) {
  const std::string problem = folderLengthProblem(typedFolder);
  return problem.empty() ? problem : refusal(typedFolder, problem);
}

// Opens the book on `cursor`; the empty string when it is open.
std::string open(rm::RecordManager& manager, BookCursor& cursor, std::string_view typedFolder) {
  if (std::string problem = unnamable(typedFolder); !problem.empty()) return problem;
  cursor.KeyBuffer = bookFileKey(normaliseFolder(typedFolder));
  cursor.KeyNumber = 0;
  const int16_t status = cursor.call(manager, rm::op::Open);
  if (status == 0) return {};
  return refusal(typedFolder, "cannot open: " + statusPhrase(status));
}

// Why the book refused `entry`, as a line of the CSV file.
std::string insertRefusal(int16_t status, const CsvEntry& entry, std::size_t field00Column,
                          std::string_view typedFolder, std::string_view csvName) {
  CsvProblem problem{entry.line, field00Column, "Field00", {}};
  if (status == rm::status::DuplicateKey) {
    std::string_view field00(reinterpret_cast<const char*>(entry.stored.data()),
                             kGunFields[0].width);
    field00 = withoutTrailingBlanks(field00);
    problem.message =
        "\"" + quoteForMessage(field00) + "\" is already in " + bookPath(typedFolder);
  } else {
    problem.message = "the book refused the entry: " + statusPhrase(status);
    problem.column = 0;
  }
  return std::string(csvName) + ": " + problem.text() + "; nothing imported";
}

}  // namespace

ToolOutcome probeBook(rm::RecordManager& manager, std::string_view typedFolder) {
  BookCursor cursor;
  std::string problem = open(manager, cursor, typedFolder);
  if (!problem.empty()) return ToolOutcome::refused(std::move(problem));
  cursor.call(manager, rm::op::Discard);
  return {};
}

ToolOutcome createBook(rm::RecordManager& manager, std::string_view typedFolder) {
  if (std::string problem = unnamable(typedFolder); !problem.empty())
    return ToolOutcome::refused(std::move(problem));
  const fs::path folder = filesystemFolder(typedFolder);
  // The folders this request makes, so that a refused create takes them away again.
  std::vector<fs::path> made;
  for (fs::path p = folder.parent_path(); !p.empty(); p = p.parent_path()) {
    std::error_code ignored;
    if (fs::exists(p, ignored)) break;
    made.push_back(p);
    if (p == p.parent_path()) break;
  }
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    return ToolOutcome::refused("cannot make the folder " + folder.string() + ": " +
                                error.message());
  }
  BookCursor cursor;
  cursor.KeyBuffer = bookFileKey(normaliseFolder(typedFolder));
  const int16_t status = cursor.call(manager, rm::op::Create);
  if (status == 0) return {};
  for (const fs::path& p : made) {
    std::error_code ignored;
    fs::remove(p, ignored);  // only empty folders go
  }
  if (status == rm::status::FileExists) {
    return ToolOutcome::refused(refusal(typedFolder, "already exists; it is left as it is"));
  }
  return ToolOutcome::refused(refusal(typedFolder, "cannot create: " + statusPhrase(status)));
}

ToolOutcome importBook(rm::RecordManager& manager, std::string_view typedFolder,
                       std::string_view csvText, std::string_view csvName,
                       std::size_t* imported) {
  if (imported) *imported = 0;
  // Checked whole first, then read again entry by entry into the book: the
  // entries are never all held apart from the book's own session.
  const CsvImport file = checkBookCsv(csvText);
  if (file.problem) {
    return ToolOutcome::refused(std::string(csvName) + ": " + file.problem->text() +
                                "; nothing imported");
  }
  BookCursor cursor;
  if (std::string problem = open(manager, cursor, typedFolder); !problem.empty()) {
    return ToolOutcome::refused(problem);
  }
  std::size_t count = 0;
  std::string refused;
  visitCheckedBookCsv(csvText, [&](const CsvEntry& entry) {
    fromStored(entry.stored.data(), cursor.Record);
    cursor.KeyNumber = 0;
    const int16_t status = cursor.call(manager, rm::op::Insert);
    if (status == 0) {
      ++count;
      return true;
    }
    refused = insertRefusal(status, entry, file.field00Column, typedFolder, csvName);
    return false;
  });
  if (!refused.empty()) {
    cursor.call(manager, rm::op::Discard);
    return ToolOutcome::refused(std::move(refused));
  }
  const int16_t status = cursor.call(manager, rm::op::Close);
  if (status != 0) {
    cursor.call(manager, rm::op::Discard);
    return ToolOutcome::refused(
        refusal(typedFolder, "cannot save the imported entries: " + statusPhrase(status) +
                                 "; nothing imported"));
  }
  if (imported) *imported = count;
  return {};
}

ToolOutcome exportBook(rm::RecordManager& manager, std::string_view typedFolder,
                       std::string& csv, std::size_t* exported) {
  csv.clear();
  std::size_t count = 0;
  BookCursor cursor;
  if (std::string problem = open(manager, cursor, typedFolder); !problem.empty()) {
    return ToolOutcome::refused(problem);
  }
  std::string out = bookCsvHeader();
  cursor.KeyBuffer.assign(kGunFields[0].width, ' ');
  cursor.KeyNumber = 0;
  int16_t status = cursor.call(manager, rm::op::GetGreaterOrEqual);
  while (status == 0) {
    appendBookCsvRow(out, toStored(cursor.Record));
    ++count;
    status = cursor.call(manager, rm::op::GetNext);
  }
  // Nothing was changed; dropping the session leaves the file untouched.
  cursor.call(manager, rm::op::Discard);
  if (status != rm::status::EndOfFile) {
    return ToolOutcome::refused(refusal(typedFolder, "cannot read: " + statusPhrase(status)));
  }
  csv = std::move(out);
  if (exported) *exported = count;
  return {};
}

}  // namespace varnok::booktool
