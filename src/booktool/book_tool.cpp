#include "booktool/book_tool.h"

#include <filesystem>
#include <functional>
#include <system_error>

#include "booktool/book_access.h"
#include "booktool/book_csv.h"
#include "recordmanager/little_endian.h"
#include "gunbook/blanks.h"
#include "gunbook/book_cursor.h"
#include "gunbook/book_folder.h"

namespace varnok::booktool {
using namespace varnok::gunbook;
namespace {

namespace fs = std::filesystem;

// Hands every entry to `take`, in key 0 order. Nothing is changed; dropping
// the session leaves the file untouched.
// `expect`, when given, first hears how many entries the book holds.
template <typename Take>
ToolOutcome walkKey0(rm::RecordManager& manager, std::string_view typedFolder, Take take,
                     const std::function<void(std::size_t)>& expect = {}) {
  BookCursor cursor;
  if (std::string problem = openBook(manager, cursor, typedFolder); !problem.empty()) {
    return ToolOutcome::refused(problem);
  }
  if (expect) {
    cursor.KeyBuffer.assign(rm::kKeyBufferLength, ' ');
    cursor.KeyNumber = -1;
    if (cursor.call(manager, rm::op::Stat) == 0)
      expect(std::size_t(rm::readLittleEndian<4>(cursor.StatBuffer.data() + 6)));
  }
  cursor.KeyBuffer.assign(kGunFields[0].width, ' ');
  cursor.KeyNumber = 0;
  int16_t status = cursor.call(manager, rm::op::GetGreaterOrEqual);
  while (status == 0) {
    take(cursor.Record);
    status = cursor.call(manager, rm::op::GetNext);
  }
  cursor.call(manager, rm::op::Discard);
  if (status != rm::status::EndOfFile) {
    return ToolOutcome::refused(refusal(typedFolder, "cannot read: " + statusPhrase(manager, status)));
  }
  return {};
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
  std::string problem = openBook(manager, cursor, typedFolder);
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
  return ToolOutcome::refused(refusal(typedFolder, "cannot create: " + statusPhrase(manager, status)));
}

ToolOutcome importBook(rm::RecordManager& manager, std::string_view typedFolder,
                       std::string csvText, std::string_view csvName,
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
  if (std::string problem = openBook(manager, cursor, typedFolder); !problem.empty()) {
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
  std::string().swap(csvText);
  const int16_t status = cursor.call(manager, rm::op::Close);
  if (status != 0) {
    cursor.call(manager, rm::op::Discard);
    return ToolOutcome::refused(
        refusal(typedFolder, "cannot save the imported entries: " + statusPhrase(manager, status) +
                                 "; nothing imported"));
  }
  if (imported) *imported = count;
  return {};
}

ToolOutcome readEntries(rm::RecordManager& manager, std::string_view typedFolder,
                        std::vector<GunRecord>& entries) {
  entries.clear();
  std::vector<GunRecord> read;
  // Grown entry by entry, a large book's vector would be copied and its
  // fresh memory faulted in twice over.
  ToolOutcome outcome = walkKey0(
      manager, typedFolder, [&](const GunRecord& e) { read.push_back(e); },
      [&read](std::size_t count) { read.reserve(count); });
  if (outcome.ok) entries = std::move(read);
  return outcome;
}

ToolOutcome exportBook(rm::RecordManager& manager, std::string_view typedFolder,
                       std::string& csv, std::size_t* exported) {
  csv.clear();
  std::size_t count = 0;
  std::string out = bookCsvHeader();
  ToolOutcome outcome = walkKey0(manager, typedFolder, [&](const GunRecord& e) {
    appendBookCsvRow(out, toStored(e));
    ++count;
  });
  if (!outcome.ok) return outcome;
  csv = std::move(out);
  if (exported) *exported = count;
  return {};
}

}  // namespace varnok::booktool
