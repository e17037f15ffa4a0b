// What a run's report is checked against: the books exported before and
// after the run, and the rows changes.csv must hold for the difference,
// worked out here from the two exports alone.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "booktool/book_tool.h"
#include "booktool/csv.h"
#include "gunbook/gun_record.h"
#include "recordmanager/record_manager.h"
#include "scratch_dir.h"

namespace varnok::testing {

using CsvRow = std::vector<std::string>;

// Every row of a CSV text after its header.
inline std::vector<CsvRow> csvRows(const std::string& text) {
  const auto parsed = booktool::csv::parse(text);
  if (parsed.problem) throw std::runtime_error("bad CSV: " + parsed.problem->message);
  std::vector<CsvRow> rows;
  for (std::size_t r = 1; r < parsed.rows.size(); ++r) {
    CsvRow row;
    for (const auto& field : parsed.rows[r].fields) row.push_back(field.text);
    rows.push_back(std::move(row));
  }
  return rows;
}

// A book's export, entry by entry under its Field00.
using ExportedBook = std::map<std::string, CsvRow>;

inline ExportedBook exportedBook(const std::string& folder) {
  std::string csv;
  const auto outcome = booktool::exportBook(rm::bookEngine(), folder, csv);
  if (!outcome.ok) throw std::runtime_error(outcome.problem);
  ExportedBook book;
  for (CsvRow& row : csvRows(csv)) book[row[0]] = std::move(row);
  return book;
}

// A cell a spreadsheet would run as a formula, as changes.csv writes it:
// after an apostrophe.
inline std::string spreadsheetText(const std::string& value) {
  return !value.empty() && std::string("=+-@\t\r").find(value[0]) != std::string::npos
             ? "'" + value
             : value;
}

// An exported entry as one row of the export without its line end, but
// that a first value a spreadsheet would run as a formula is quoted: how
// changes.csv holds a whole entry.
inline std::string entryLine(const CsvRow& row) {
  std::string line;
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (i != 0) line += ',';
    if (i == 0 && spreadsheetText(row[0]) != row[0]) {
      line += '"' + row[0] + '"';
    } else {
      booktool::csv::appendField(line, row[i]);
    }
  }
  return line;
}

// What happened to entries kept in the book, and to entries added.
struct ChangeNames {
  std::string kept;
  std::string added;
};

// The rows changes.csv holds for one book, sorted: one holding a removed
// or an added entry whole, one for every differing field of a kept one.
inline std::vector<CsvRow> expectedChanges(const std::string& book, const ExportedBook& before,
                                           const ExportedBook& after, const ChangeNames& names) {
  std::vector<CsvRow> rows;
  const auto add = [&](const std::string& key, const std::string& change, const CsvRow* was,
                       const CsvRow* is) {
    if (!was || !is) {
      rows.push_back({book, spreadsheetText(key), change, "entry", was ? entryLine(*was) : "",
                      is ? entryLine(*is) : ""});
      return;
    }
    for (std::size_t i = 0; i < gunbook::kGunFields.size(); ++i) {
      const std::string& from = (*was)[i], &to = (*is)[i];
      if (from == to) continue;
      rows.push_back({book, spreadsheetText(key), change, gunbook::kGunFields[i].name,
                      spreadsheetText(from), spreadsheetText(to)});
    }
  };
  for (const auto& [key, row] : before) {
    const auto kept = after.find(key);
    if (kept == after.end()) {
      add(key, "removed", &row, nullptr);
    } else {
      add(key, names.kept, &row, &kept->second);
    }
  }
  for (const auto& [key, row] : after)
    if (!before.count(key)) add(key, names.added, nullptr, &row);
  std::sort(rows.begin(), rows.end());
  return rows;
}

// The rows of a report's changes.csv for one book, sorted.
inline std::vector<CsvRow> reportedChanges(const std::filesystem::path& reportFolder,
                                           const std::string& book) {
  std::vector<CsvRow> rows;
  for (CsvRow& row : csvRows(fileBytes(reportFolder / "changes.csv")))
    if (row.at(0) == book) rows.push_back(std::move(row));
  std::sort(rows.begin(), rows.end());
  return rows;
}

}  // namespace varnok::testing
