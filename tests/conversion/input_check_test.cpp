// What the run and the transfer refuse before they open any book: text a
// book cannot store, a folder too long to name to the record manager, and
// (for the transfer as for the run) an empty box.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "conversion/input_check.h"
#include "pass_fixture.h"

namespace varnok::testing {
namespace {

using Procedure = void (Converter::*)();
using Outcome = Converter::Outcome;
using TextBox = conversion::TextBox;

struct Action {
  const char* name;
  Procedure procedure;
};
const Action kRun{"run", &Converter::runConversion};
const Action kTransfer{"transfer", &Converter::transferLateDisposals};

// One book pair; the old book holds a gun that both the run and the
// transfer hand over on the conversion date.
struct InputFixture : BasicPassFixture<StrictView> {
  InputFixture() {
    makeOldBook();
    makeBook(newFolder, {});
  }

  void makeOldBook() {
    makeBook(oldFolder, {gun("G1", kDayBefore, kBlankDate, "PAWN"),
                         gun("G2", kDayBefore, kDayAfter, "SOLD")});
  }

  // Runs the action and expects it to open no book and show `message` alone.
  void expectRefused(const Action& action, const std::string& message, Outcome outcome) {
    SCOPED_TRACE(action.name);
    view.messages.clear();
    const int opensBefore = manager.calls(rm::op::Open);
    (converter.*action.procedure)();
    EXPECT_EQ(manager.calls(rm::op::Open), opensBefore);
    EXPECT_EQ(view.messages, std::vector<std::string>{message});
    EXPECT_EQ(converter.outcome(), outcome);
  }
  void expectCompleted(const Action& action) {
    SCOPED_TRACE(action.name);
    (converter.*action.procedure)();
    EXPECT_EQ(converter.outcome(), Outcome::Completed);
    EXPECT_EQ(findEntry(oldBook(), "G2")->DateOut.view(), kD);
  }
};

struct TypedText {
  const char* name;
  TextBox box;
  int index;
  std::string typed;
  const char* refusal;  // null: the books can hold it
  bool transferReads;   // the transfer reads no prefix
};

std::ostream& operator<<(std::ostream& out, const TypedText& t) { return out << t.name; }

class TextTest : public ::testing::TestWithParam<TypedText> {};

TEST_P(TextTest, RefusedBeforeAnyBookIsOpenedNamingBoxAndCharacter) {
  const TypedText t = GetParam();
  for (const Action& action : {kRun, kTransfer}) {
    InputFixture f;
    f.view.setText(t.box, t.index, t.typed);
    if (t.refusal && (t.transferReads || action.procedure == kRun.procedure))
      f.expectRefused(action, t.refusal, Outcome::UnstorableText);
    else
      f.expectCompleted(action);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, TextTest,
    ::testing::Values(
        TypedText{"Emoji", TextBox::PreviousLicensee, 0, "SMITH \xF0\x9F\x98\x80",
                  "Previous Gun Licensee Last Name holds the character U+1F600, which a gun "
                  "book cannot store.", true},
        TypedText{"Cjk", TextBox::NewLicensee, 3, "\xE6\x9D\xB1\xE4\xBA\xAC",
                  "New Gun Licensee City holds the character U+6771, which a gun book cannot "
                  "store.", true},
        TypedText{"Tab", TextBox::NewLicensee, 2, "9 NEW\tST",
                  "New Gun Licensee Address holds the control character U+0009 (tab), which a "
                  "gun book cannot store.", true},
        TypedText{"LineFeed", TextBox::PreviousLicensee, 2, "1 OLD\nRD",
                  "Previous Gun Licensee Address holds the control character U+000A (line "
                  "feed), which a gun book cannot store.", true},
        TypedText{"Escape", TextBox::NewLicensee, 0, "NEWCO\x1B[31m",
                  "New Gun Licensee Last Name holds the control character U+001B (escape), "
                  "which a gun book cannot store.", true},
        TypedText{"C1Control", TextBox::PreviousLicensee, 5, "750\xC2\x81",
                  "Previous Gun Licensee Zip holds the control character U+0081, which a gun "
                  "book cannot store.", true},
        TypedText{"NotUtf8", TextBox::PreviousLicensee, 1, "PAT\xFF",
                  "Previous Gun Licensee First Name holds the byte 0xFF (not valid UTF-8 "
                  "text), which a gun book cannot store.", true},
        TypedText{"PrefixDelete", TextBox::NewBookPrefix, 0, "NW\x7F",
                  "Prefix in new gunbook holds the control character U+007F, which a gun book "
                  "cannot store.", false},
        TypedText{"Windows1252", TextBox::NewLicensee, 1,
                  "\xE2\x82\xAC \xC5\x92 M\xC3\xBCller \xC3\x91", nullptr, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Folders typed without their separator, which normalising appends: 245
// characters give the longest book file path the key buffer holds whole.
struct FolderLength {
  const char* name;
  TextBox box;
  std::size_t typedLength;
  bool refused;
};

std::ostream& operator<<(std::ostream& out, const FolderLength& l) { return out << l.name; }

class FolderLengthTest : public ::testing::TestWithParam<FolderLength> {};

TEST_P(FolderLengthTest, AFolderWhoseBookPathDoesNotFitIsRefusedBeforeAnyOpen) {
  const FolderLength l = GetParam();
  for (const Action& action : {kRun, kTransfer}) {
    InputFixture f;
    const std::string base = f.dir.path().string() + "/";
    ASSERT_LT(base.size(), l.typedLength);
    std::string folder = base + std::string(l.typedLength - base.size(), 'f');
    f.view.setText(l.box, 0, folder);
    if (!l.refused) {
      f.dir.folder(folder.substr(base.size()));
      if (l.box == TextBox::OldBookFolder) {
        f.oldFolder = folder + "/";
        f.makeOldBook();
      } else {
        makeBook(folder + "/", {});
      }
      f.expectCompleted(action);
      continue;
    }
    const std::string which = l.box == TextBox::OldBookFolder ? "Old" : "New";
    f.expectRefused(action,
                    which + " Gun Book folder: the folder name is too long: a book folder may "
                    "be at most 246 bytes long (one byte for each plain letter or digit), its "
                    "closing separator included, and this one is " +
                    std::to_string(l.typedLength + 1) + ".",
                    Outcome::Refused);
  }
}

INSTANTIATE_TEST_SUITE_P(
    AroundTheLimit, FolderLengthTest,
    ::testing::Values(FolderLength{"Old245", TextBox::OldBookFolder, 245, false},
                      FolderLength{"Old246", TextBox::OldBookFolder, 246, true},
                      FolderLength{"Old253", TextBox::OldBookFolder, 253, true},
                      FolderLength{"Old254", TextBox::OldBookFolder, 254, true},
                      FolderLength{"New245", TextBox::NewBookFolder, 245, false},
                      FolderLength{"New246", TextBox::NewBookFolder, 246, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TransferInput, EmptyBoxesAreRefusedAsTheRunRefusesThem) {
  struct Box {
    TextBox box;
    int index;
  };
  for (const Box b : {Box{TextBox::PreviousLicensee, 0}, Box{TextBox::PreviousLicensee, 5},
                      Box{TextBox::NewLicensee, 0}, Box{TextBox::NewLicensee, 4},
                      Box{TextBox::OldBookFolder, 0}, Box{TextBox::NewBookFolder, 0}}) {
    SCOPED_TRACE(conversion::boxName(b.box, b.index));
    InputFixture f;
    f.view.setText(b.box, b.index, "");
    f.expectRefused(kTransfer, conversion::msg::FillAllBoxes, Outcome::Refused);
  }
  {
    SCOPED_TRACE("blanks count as filled in");
    InputFixture f;
    f.view.form.newLicensee = {" ", " ", " ", " ", " ", " "};
    f.expectCompleted(kTransfer);
    EXPECT_EQ(f.oldBook().at(1).DispLastName.view(), std::string(15, ' '));
  }
}

}  // namespace
}  // namespace varnok::testing
