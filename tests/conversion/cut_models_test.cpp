// A prefix that would cut models: the run finds them after the book check,
// before any book is written, and asks; No leaves both books as they were.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pass_fixture.h"

namespace varnok::testing {
namespace {

namespace msg = conversion::msg;
using Outcome = Converter::Outcome;

GunRecord withModel(GunRecord entry, const std::string& model) {
  entry.Field06 = model;
  return entry;
}

// Carried over: N1 (14 characters), N2 (13, which fits beside two), N5 (a
// full field), N6 (blank). N3 left before the date and N4 came after it:
// neither is rewritten, so neither counts.
void makeBooks(PassFixture& f) {
  makeBook(f.oldFolder, {gun("O1", kD, kBlankDate, "PAWN")});
  makeBook(f.newFolder, {withModel(gun("N1", kDayBefore, kBlankDate, "PAWN"), "1911 RANGE OFC"),
                         withModel(gun("N2", kDayBefore, kD, "SOLD"), "1911 RANGE OF"),
                         withModel(gun("N3", kDayBefore, kDayBefore, "SOLD"), "M1A SCOUT SQUAD"),
                         withModel(gun("N4", kDayAfter, kBlankDate, "PAWN"), "M1A SCOUT SQUAD"),
                         withModel(gun("N5", kD, kBlankDate, "SALE"), "M1A SCOUT SQUAD"),
                         gun("N6", kDayBefore, kBlankDate, "PAWN")});
}

TEST(CutModels, AreAskedAboutBeforeAnyBookIsWritten) {
  struct Case {
    const char* prefix;
    bool yes;
    bool preview;
    std::vector<std::string> cut;
    Outcome outcome;
  };
  const Case cases[] = {
      {"", false, false, {}, Outcome::Completed},
      {" v ", false, false, {"N5"}, Outcome::Declined},
      {"vp", false, false, {"N1", "N5"}, Outcome::Declined},
      {"vp", true, false, {"N1", "N5"}, Outcome::Completed},
      {"ABCDEFGHIJKLMNOP", false, false, {"N1", "N2", "N5"}, Outcome::Declined},
      {"vp", false, true, {"N1", "N5"}, Outcome::Completed},  // told, not asked
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("prefix '") + c.prefix + "', " + (c.yes ? "Yes" : "No") +
                 (c.preview ? ", preview" : ""));
    PassFixture f;
    makeBooks(f);
    const auto oldBefore = f.oldBook(), newBefore = f.newBook();
    f.view.form.newBookPrefix = c.prefix;
    f.view.confirmAnswer = c.yes;
    f.converter.previewOnly = c.preview;

    f.converter.runConversion();

    EXPECT_EQ(f.converter.cutModels(), c.cut);
    EXPECT_EQ(f.converter.outcome(), c.outcome);
    const bool asked = !c.cut.empty() && !c.preview;
    ASSERT_EQ(f.view.questions.size(), asked ? 1u : 0u);
    // The count and the stock numbers in the question (or the preview's message).
    const std::string told = asked ? f.view.questions[0]
                             : c.preview ? f.view.messages.at(1)
                                         : "";
    if (!c.cut.empty()) {
      EXPECT_NE(told.find(std::to_string(c.cut.size()) + " gun"), std::string::npos) << told;
      for (const std::string& stock : c.cut) EXPECT_NE(told.find(stock), std::string::npos);
    }
    EXPECT_EQ(f.view.messages.back(), msg::Finished);
    if (c.outcome == Outcome::Declined) {
      EXPECT_EQ(f.oldBook(), oldBefore);
      EXPECT_EQ(f.newBook(), newBefore);
    } else {
      EXPECT_NE(f.oldBook(), oldBefore);
    }
  }
}

TEST(CutModels, YesCutsThemAsTheFixedWidthRuleSays) {
  PassFixture f;
  makeBooks(f);
  f.view.form.newBookPrefix = "vp";
  f.view.confirmAnswer = true;

  f.converter.runConversion();

  EXPECT_EQ(findEntry(f.newBook(), "N1")->Field06, "VP1911 RANGE OF");
  EXPECT_EQ(findEntry(f.newBook(), "N2")->Field06, "VP1911 RANGE OF");
  EXPECT_EQ(findEntry(f.newBook(), "N4")->Field06, "M1A SCOUT SQUAD");
}

}  // namespace
}  // namespace varnok::testing
