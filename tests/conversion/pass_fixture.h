// A pair of scratch books, a fake window filled in for a conversion on
// 03/15/2004, and a converter that talks to the books through a record
// manager that can be made to fail.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "book_fixture.h"
#include "child_process.h"
#include "conversion_dates.h"
#include "conversion/converter.h"
#include "fake_view.h"
#include "faulty_record_manager.h"
#include "gunbook/gun_record.h"

namespace varnok::testing {

using conversion::Converter;
using gunbook::GunRecord;

inline const std::string kSold = "SOLD" + std::string(11, ' ');  // as Status holds it

template <class View = FakeView>
struct BasicPassFixture {
  ScratchDir dir;
  std::string oldFolder = dir.folder("old");
  std::string newFolder = dir.folder("new");
  View view;
  FaultyRecordManager manager{rm::bookEngine()};
  Converter converter{view, manager};

  BasicPassFixture() { view.fillIn(oldFolder, newFolder, kDateTyped); }

  std::vector<GunRecord> oldBook() { return readBook(oldFolder); }
  std::vector<GunRecord> newBook() { return readBook(newFolder); }
};
using PassFixture = BasicPassFixture<>;

// Entries read so far: positionings and steps.
inline int entryReads(const FaultyRecordManager& manager) {
  return manager.calls(rm::op::GetGreaterOrEqual) + manager.calls(rm::op::GetNext);
}

// A report's four lines.
inline std::vector<std::string> reportLines(const std::string& report) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = report.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(report.substr(start, end - start));
  lines.push_back(report.substr(start));
  return lines;
}

// Checks a report: its first three lines exactly, and a fourth that names a
// source line.
inline void expectReport(const std::string& report, const std::string& error,
                         const std::string& description, const std::string& procedure) {
  const auto lines = reportLines(report);
  ASSERT_EQ(lines.size(), 4u) << report;
  EXPECT_EQ(lines[0], error);
  EXPECT_EQ(lines[1], description);
  EXPECT_EQ(lines[2], "Location: Project1.Brelmark." + procedure);
  ASSERT_EQ(lines[3].rfind("Line ", 0), 0u) << lines[3];
  EXPECT_GT(std::stoul(lines[3].substr(5)), 0u) << lines[3];
}

}  // namespace varnok::testing
