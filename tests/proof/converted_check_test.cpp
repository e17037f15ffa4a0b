// The check of converted books against verdicts worked out by hand for small
// pairs: each pair is written out field by field here, as a conversion by
// hand might leave it, never made by the passes.
#include "proof/converted_check.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "book_fixture.h"

namespace varnok::proof {
namespace {

using gunbook::GunRecord;
constexpr const char* kDate = "20250630";
const std::array<std::string, 6> kPrevious = {"HALVORSEN", "ERIK", "1418 MILL CREEK RD",
                                              "VELMORA",   "TX",   "75961"};
const std::array<std::string, 6> kNew = {"VELMORA PAWN", "DANA", "22 COURTHOUSE SQ",
                                         "VELMORA",      "TX",   "75961"};

GunRecord gun(const std::string& stock, const std::string& in, const std::string& model = "M1911") {
  GunRecord e;
  e.Field00 = stock;
  e.Field01 = "SN-" + stock;
  e.Field03 = "COLT";
  e.Field06 = model;
  e.DateIn = in;
  e.RecvLastName = "SMITH";
  e.RecvFirstName = "JO";
  e.Status = "PAWN";
  return e;
}
// In the old book: sold on `out` to the licensee `to`.
GunRecord sold(GunRecord e, const std::string& out, const std::array<std::string, 6>& to = kNew) {
  e = testing::disposedTo(std::move(e), to);
  e.DateOut = out;
  e.Status = "SOLD";
  e.DispFlag = -1;
  return e;
}
// In the new book: received on `in` from the previous licensee.
GunRecord received(GunRecord e, const std::string& in = kDate) {
  e = testing::receivedFrom(std::move(e), kPrevious);
  e.DateIn = in;
  return e;
}
GunRecord with(GunRecord e, void (*change)(GunRecord&)) {
  change(e);
  return e;
}

struct Case {
  const char* name;
  std::vector<GunRecord> oldBook, newBook;
  std::size_t handedOver, received;
  std::vector<std::string> found;  // "kind stock", in the check's order
  std::string prefix = "vp";
  bool keepReceivedFrom = false, keepDateIn = false;
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

const std::array<std::string, 6> kCustomer = {"DOE", "JANE", "9 ELM", "ABILENE", "TX", "79601"};

const Case kCases[] = {
    {"AConvertedPairIsProven",
     {sold(gun("A", "20250101"), kDate), sold(gun("B", "20240101"), "20250301", kCustomer),
      sold(gun("C", "20250101"), kDate, kCustomer)},
     {received(gun("A", "20250101", "VPM1911")),
      received(sold(gun("C", "20250101", "VPM1911"), kDate, kCustomer)), gun("D", "20250701")},
     1, 1, {"note C"}},
    {"TwoHandedOverGunsDeletedFromTheNewBook",
     {sold(gun("A", "20250101"), kDate), sold(gun("B", "20250101"), kDate),
      sold(gun("C", "20250101"), kDate)},
     {received(gun("B", "20250101", "VPM1911"))},
     3, 1, {"hand-over A", "hand-over C"}},
    {"HandedOverButReceivedOtherwise",
     {sold(gun("A", "20250101"), kDate), sold(gun("B", "20250101"), kDate),
      sold(gun("C", "20250101"), kDate), sold(gun("D", "20250101"), kDate)},
     {with(received(gun("A", "20250101", "VPM1911")), [](GunRecord& e) { e.Field01 = "SN-X"; }),
      received(gun("B", "20250101", "M1911")),
      with(received(gun("C", "20250101", "VPM1911")), [](GunRecord& e) { e.RecvZip = "75962"; }),
      with(received(gun("D", "20250101", "VPM1911")), [](GunRecord& e) { e.Field03 = "COLT "; })},
     4, 1, {"hand-over A", "hand-over B", "hand-over C"}},
    {"ThePrefixPushesTheModelsLastCharactersOut",
     {sold(gun("A", "20250101", "ABCDEFGHIJKLMNO"), kDate),
      sold(gun("B", "20250101", "ABCDEFGHIJKLMNO"), kDate)},
     {received(gun("A", "20250101", "ABABCDEFGHIJKLM")),
      received(gun("B", "20250101", "ABCDEFGHIJKLMNO"))},
     2, 1, {"hand-over B"}, " ab "},
    {"AnOldBookNotClosedOnTheDate",
     {gun("E", "20250701"), with(sold(gun("F", "20250101"), kDate), [](GunRecord& e) {
        e.Status = "PAWN";
      }),
      with(gun("G", "20250101"), [](GunRecord& e) { e.Status = "SOLD"; }),
      sold(gun("H", "20250101"), "20250715"), gun("I", "        ")},
     {},
     0, 0, {"after E", "open F", "open G", "open H", "open I"}},
    {"NewBookEntriesBeforeTheDateOrNotHandedOver",
     {sold(gun("Z", "20250101"), "20250301", kPrevious),
      sold(gun("W", "20250101"), kDate, {"VELMORA PAWN", "DANA", "23 COURTHOUSE SQ", "VELMORA",
                                         "TX", "75961"})},
     {received(gun("X", "20250101", "VPM1911"), "20250101"),
      received(gun("Y", "20250101", "VPM1911")), received(gun("Z", "20250101", "VPM1911")),
      received(gun("W", "20250101", "VPM1911"))},
     0, 0, {"new X", "new Y", "new Z", "new W"}},
    {"KeptDateInAndReceivedFromAreTheOldBooks",
     {sold(gun("A", "20250101"), kDate), sold(gun("B", "20250101"), kDate)},
     {gun("A", "20250101", "VPM1911"), received(gun("B", "20250101", "VPM1911"), "20250101")},
     2, 1, {"hand-over B"}, "VP", true, true},
    {"ReceivedFromKeptButNotTheDate",
     {sold(gun("A", "20250101"), kDate)},
     {gun("A", kDate, "M1911")},
     1, 1, {}, "", true, false},
};

std::vector<std::string> findings(const ConvertedCheck& c) {
  std::vector<std::string> lines;
  for (const auto& f : c.handOverFaults) lines.push_back("hand-over " + f.stockNumber);
  for (const auto& f : c.receivedAfter) lines.push_back("after " + f.stockNumber);
  for (const auto& f : c.leftOpen) lines.push_back("open " + f.stockNumber);
  for (const auto& f : c.newBookFaults) lines.push_back("new " + f.stockNumber);
  for (const auto& stock : c.disposedOnDate) lines.push_back("note " + stock);
  return lines;
}

class CheckingConvertedBooks : public ::testing::TestWithParam<Case> {};

TEST_P(CheckingConvertedBooks, GivesTheVerdictWorkedOutByHand) {
  const Case& c = GetParam();
  const ConversionTerms terms{kDate, kPrevious, kNew, c.prefix, c.keepReceivedFrom, c.keepDateIn};
  const ConvertedCheck check = checkConvertedBooks(c.oldBook, c.newBook, terms);
  EXPECT_EQ(check.handedOver, c.handedOver);
  EXPECT_EQ(check.received, c.received);
  EXPECT_EQ(findings(check), c.found);
  const bool notesOnly = check.disposedOnDate.size() == c.found.size();
  EXPECT_EQ(check.proven(), notesOnly);
  const std::string text = convertedCheckText(check);
  EXPECT_NE(text.find(notesOnly ? "The hand-over is proven." : "Exceptions: "), std::string::npos);
  for (const auto* list : {&check.handOverFaults, &check.leftOpen, &check.newBookFaults})
    for (const CheckFinding& f : *list)
      EXPECT_NE(text.find("  " + f.stockNumber + ": " + f.what + "\n"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(SmallPairs, CheckingConvertedBooks, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What each finding says is what the operator goes by.
TEST(ConvertedCheckText, NamesWhatDiffersAndWhatTheRulesGive) {
  const std::vector<GunRecord> oldBook = {sold(gun("A", "20250101"), kDate)};
  const std::vector<GunRecord> newBook = {
      with(received(gun("A", "20250101", "M1911"), "20250629"),
           [](GunRecord& e) { e.RecvLastName = "HALVORSON"; })};
  const ConvertedCheck check =
      checkConvertedBooks(oldBook, newBook, {kDate, kPrevious, kNew, "vp", false, false});
  ASSERT_EQ(check.handOverFaults.size(), 1u);
  EXPECT_EQ(check.handOverFaults[0].what,
            "handed over, but the new book has DateIn \"20250629\" (the rules give "
            "\"20250630\"); RecvLastName \"HALVORSON\" (the rules give \"HALVORSEN\"); model "
            "\"M1911\" (the rules give \"VPM1911\")");
  ASSERT_EQ(check.newBookFaults.size(), 1u);
  EXPECT_EQ(check.newBookFaults[0].what, "received before the date (DateIn \"20250629\")");
}

}  // namespace
}  // namespace varnok::proof
