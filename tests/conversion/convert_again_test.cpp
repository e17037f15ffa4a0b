// Books that look converted on the date already: the run asks before any
// book is written, and No leaves both books as they were.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pass_fixture.h"

namespace varnok::testing {
namespace {

using Outcome = Converter::Outcome;

// A pair as a conversion on D with the prefix VP leaves it, by hand: the
// old book's guns sold on D (one kept open as "pawn", which is no gun on
// hand), the new book's entries received from the previous licensee on D.
struct ConvertedPair {
  std::vector<GunRecord> oldBook{gun("O1", kDayBefore, kD, "SOLD"),
                                 gun("O2", kDayBefore, kBlankDate, "pawn")};
  std::vector<GunRecord> newBook{receivedFrom(gun("N1", kD, kBlankDate, "PAWN"), kPreviousLicensee),
                                 receivedFrom(gun("N2", kD, kD, "SOLD"), kPreviousLicensee),
                                 gun("N3", kDayAfter, kBlankDate, "SALE")};
  ConvertedPair() {
    newBook[0].Field06 = "VP1911";
    newBook[1].Field06 = "VPM1A";
  }
};

TEST(ConvertAgain, IsAskedOnlyForBooksThatReadAsConverted) {
  struct Case {
    const char* name;
    void (*spoil)(ConvertedPair&);
    bool asked;
  };
  const Case cases[] = {
      {"converted", [](ConvertedPair&) {}, true},
      {"a gun on hand in the old book", [](ConvertedPair& p) { p.oldBook[1].Status = "PAWN"; },
       false},
      {"on hand but received after D",
       [](ConvertedPair& p) { p.oldBook.push_back(gun("O3", kDayAfter, kBlankDate, "SALE")); },
       true},
      {"received from someone else", [](ConvertedPair& p) { p.newBook[1].RecvLastName = "OTHER"; },
       false},
      {"received before D", [](ConvertedPair& p) { p.newBook[0].DateIn = kDayBefore; }, false},
      {"without the prefix", [](ConvertedPair& p) { p.newBook[1].Field06 = "M1A"; }, false},
      {"no entry on or before D", [](ConvertedPair& p) { p.newBook.resize(0); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PassFixture f;
    ConvertedPair pair;
    c.spoil(pair);
    makeBook(f.oldFolder, pair.oldBook);
    makeBook(f.newFolder, pair.newBook);
    const auto oldBefore = f.oldBook(), newBefore = f.newBook();
    f.view.form.newBookPrefix = "vp";

    f.converter.runConversion();

    ASSERT_EQ(f.view.questions.size(), c.asked ? 1u : 0u);
    if (!c.asked) {
      EXPECT_EQ(f.converter.outcome(), Outcome::Completed);
      continue;
    }
    EXPECT_NE(
        f.view.questions[0].find("These books look converted on " + f.view.form.conversionDate +
                                 " already: the books already read as converted"),
        std::string::npos)
        << f.view.questions[0];
    EXPECT_EQ(f.converter.outcome(), Outcome::DeclinedAgain);
    EXPECT_EQ(f.oldBook(), oldBefore);
    EXPECT_EQ(f.newBook(), newBefore);
    EXPECT_EQ(f.view.messages.back(), conversion::msg::Finished);
  }
}

TEST(ConvertAgain, NamesTheEarlierRunAndGoesOnAfterYesOrInAPreview) {
  for (const bool preview : {false, true}) {
    SCOPED_TRACE(preview ? "preview" : "Yes");
    PassFixture f;
    // Not converted by their entries: only the run history knows.
    makeBook(f.oldFolder, {gun("O1", kDayBefore, kBlankDate, "PAWN")});
    makeBook(f.newFolder, {gun("N1", kDayBefore, kBlankDate, "PAWN")});
    f.converter.earlierConversion = [] {
      return std::string("/reports/2026-12-01-090000-convert");
    };
    f.converter.previewOnly = preview;
    f.view.againAnswer = true;

    f.converter.runConversion();

    const std::string named =
        "they are exactly as the conversion of /reports/2026-12-01-090000-convert left them";
    const std::vector<std::string>& told = preview ? f.view.messages : f.view.questions;
    ASSERT_GE(told.size(), preview ? 2u : 1u);
    EXPECT_NE(told[preview ? 1 : 0].find(named), std::string::npos) << told[preview ? 1 : 0];
    EXPECT_EQ(f.view.questions.size(), preview ? 0u : 1u);
    EXPECT_EQ(f.converter.outcome(), Outcome::Completed);
    EXPECT_EQ(f.converter.convertedAlready(), named);
    if (!preview) {
      EXPECT_EQ(findEntry(f.newBook(), "N1")->DateIn.view(), kD);
    }
  }
}

}  // namespace
}  // namespace varnok::testing
