// A run's summary.txt written by hand, line for line as a run writes it, for
// tests of what reads the report history: which run left which books.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "scratch_dir.h"

namespace varnok::testing {

struct SummaryBookLines {
  std::string role;  // "old", "new"
  std::filesystem::path book;
  std::string before, after;  // SHA-256
  std::string backup;         // its name in the folder; empty for none
  std::string backupSha256;
};

inline void writeRunSummary(const std::filesystem::path& folder, const std::string& kind,
                            const std::string& outcome, const std::string& date,
                            const std::vector<SummaryBookLines>& books) {
  std::filesystem::create_directories(folder);
  std::string text = "Varnok report: " + kind +
                     "\nprogram: varnok 0.1.0\n"
                     "started: 2026-12-01 09:00:00 +0000\nended: 2026-12-01 09:00:01 +0000\n";
  if (!outcome.empty()) text += "outcome: " + outcome + "\n";
  text += "\nInputs\n  run: conversion (convert)\n  conversion date: " + date + "\n\nBooks\n";
  for (const SummaryBookLines& b : books) {
    text += "  " + b.role + " book: " + b.book.string() + "\n    entries: 2 before, 1 after\n";
    text += "    SHA-256 before: " + b.before + "\n    SHA-256 after:  " + b.after +
            (b.after == b.before ? " (unchanged)" : "") + "\n";
    text += b.backup.empty() ? "    backup: none\n"
                             : "    backup: " + b.backup + ", SHA-256 " + b.backupSha256 + "\n";
  }
  text += "\nchanges.csv: 3 rows (one per entry added or removed, one per changed field of the "
          "others)\n";
  writeBytes(folder / "summary.txt", text);
}

}  // namespace varnok::testing
