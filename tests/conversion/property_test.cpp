// Random pairs of small books, converted, transferred, or converted and then
// transferred, and compared entry for entry with what book_model.h says the
// books must hold afterwards.
//
// Fixed seeds: a failure names its seed and repeats on every run.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "book_fixture.h"
#include "book_model.h"
#include "conversion/converter.h"
#include "fake_view.h"
#include "random_books.h"

namespace varnok::testing {
namespace {

using conversion::Converter;
using gunbook::GunRecord;
using model::Book;
using model::Books;
using model::Inputs;

bool anyBoxEmpty(const FakeView& view) {
  for (int i = 0; i < 6; ++i)
    if (view.form.previousLicensee[i].empty() || view.form.newLicensee[i].empty()) return true;
  return false;
}

// A random window and a random pair of books around its date, the books
// written in random order.
struct Scenario {
  ScratchDir dir;
  std::string oldFolder = dir.folder("old");
  std::string newFolder = dir.folder("new");
  StrictView view;
  Inputs in;
  Books before;

  Scenario(Generator& random, bool uniqueAcrossBooks) {
    in = random.fillIn(view, oldFolder, newFolder);
    before = random.books(in.D, uniqueAcrossBooks);
    Books shuffled = before;
    random.shuffle(shuffled.oldBook);
    random.shuffle(shuffled.newBook);
    makeBook(oldFolder, shuffled.oldBook);
    makeBook(newFolder, shuffled.newBook);
  }

  // Where the books differ from the expected ones; empty when they match.
  std::string differences(const Books& expected) const {
    std::string found;
    const std::string oldDiff = model::differences(expected.oldBook, readBook(oldFolder));
    const std::string newDiff = model::differences(expected.newBook, readBook(newFolder));
    if (!oldDiff.empty()) found += "\nold book:" + oldDiff;
    if (!newDiff.empty()) found += "\nnew book:" + newDiff;
    return found;
  }
};

// The run's own messages: the counts and "Finished", or the refusal.
std::vector<std::string> runMessages(const Scenario& s) {
  if (anyBoxEmpty(s.view)) return {"You must enter information in all the boxes"};
  return {"Number of old guns = " + std::to_string(s.before.oldBook.size()) +
              " Number of new guns " + std::to_string(s.before.newBook.size()),
          "Finished"};
}

// The transfer shows nothing, or the refusal.
std::vector<std::string> transferMessages(const Scenario& s) {
  if (anyBoxEmpty(s.view)) return {"You must enter information in all the boxes"};
  return {};
}

// How much of the rules the random cases reached, so that a generator that
// drifted into dull books is noticed.
struct Reached {
  int cases = 0, handedOver = 0, removedOld = 0, removedNew = 0, prefixed = 0, transferred = 0,
      declined = 0;

  void conversion(const Books& before, const Books& after, const Inputs& in) {
    ++cases;
    for (const auto& e : before.oldBook) handedOver += e.DateIn <= in.D && model::inStore(e);
    removedOld += static_cast<int>(before.oldBook.size() - after.oldBook.size());
    removedNew += static_cast<int>(before.newBook.size() - after.newBook.size());
    prefixed += !model::prefixOf(in).empty();
  }
  void transfer(const Books& before, const Books& after) {
    ++cases;
    transferred += static_cast<int>(after.newBook.size() - before.newBook.size());
  }
};

constexpr uint32_t kConversionSeeds = 250;
constexpr uint32_t kTransferSeeds = 200;
constexpr uint32_t kConvertThenFixSeeds = 100;

TEST(ConversionProperty, BothBooksEndAsTheRulesSay) {
  Reached reached;
  for (uint32_t seed = 1; seed <= kConversionSeeds; ++seed) {
    Generator random(seed);
    Scenario s(random, false);

    // A prefix that cuts models is asked about: every third case says No,
    // which must leave both books as they were.
    s.view.confirmAnswer = seed % 3 != 0;
    Converter converter(s.view, rm::bookEngine());
    converter.runConversion();

    const bool refused = anyBoxEmpty(s.view);
    const std::size_t cut = refused ? 0 : model::modelsCut(s.before.newBook, s.in);
    const bool declined = cut > 0 && !s.view.confirmAnswer;
    const Books expected =
        refused || declined ? s.before : model::afterConversion(s.before, s.in);
    std::string found = s.differences(expected);
    if (s.view.messages != runMessages(s)) found += "\nmessages differ";
    if (converter.cutModels().size() != cut || s.view.questions.size() != (cut > 0 ? 1u : 0u))
      found += "\n" + std::to_string(cut) + " models cut, but " +
               std::to_string(converter.cutModels().size()) + " found";
    reached.declined += declined;
    if (!found.empty()) {
      ADD_FAILURE() << "seed " << seed << ", D " << s.in.D << found;
      break;
    }
    if (!refused) reached.conversion(s.before, expected, s.in);
  }
  EXPECT_GT(reached.cases, static_cast<int>(kConversionSeeds) * 3 / 4);
  EXPECT_GT(reached.handedOver, 0);
  EXPECT_GT(reached.removedOld, 0);
  EXPECT_GT(reached.removedNew, 0);
  EXPECT_GT(reached.prefixed, 0);
  EXPECT_GT(reached.declined, 0);
}

TEST(TransferProperty, BothBooksEndAsTheRulesSay) {
  Reached reached;
  for (uint32_t seed = 10001; seed < 10001 + kTransferSeeds; ++seed) {
    Generator random(seed);
    Scenario s(random, true);
    s.view.confirmAnswer = true;  // cut models and all

    Converter converter(s.view, rm::bookEngine());
    converter.transferLateDisposals();

    // An empty licensee box refuses the transfer, as it refuses the run.
    const bool refused = anyBoxEmpty(s.view);
    const Books expected = refused ? s.before : model::afterTransfer(s.before, s.in);
    std::string found = s.differences(expected);
    if (s.view.messages != transferMessages(s)) found += "\nmessages differ";
    const auto outcome = refused ? Converter::Outcome::Refused : Converter::Outcome::Completed;
    if (converter.outcome() != outcome) found += "\nwrong outcome";
    if (!found.empty()) {
      ADD_FAILURE() << "seed " << seed << ", D " << s.in.D << found;
      break;
    }
    if (!refused) reached.transfer(s.before, expected);
  }
  EXPECT_GT(reached.cases, static_cast<int>(kTransferSeeds) * 3 / 4);
  EXPECT_GT(reached.transferred, 0);
}

TEST(ConvertThenFixProperty, FixAfterAConversionFindsNothingLeftToTransfer) {
  Reached reached;
  for (uint32_t seed = 20001; seed < 20001 + kConvertThenFixSeeds; ++seed) {
    Generator random(seed);
    Scenario s(random, true);
    s.view.confirmAnswer = true;  // cut models and all

    Converter converter(s.view, rm::bookEngine());
    converter.runConversion();
    converter.transferLateDisposals();

    const bool refused = anyBoxEmpty(s.view);
    const Books expected = refused ? s.before : model::afterConversion(s.before, s.in);
    std::vector<std::string> messages = runMessages(s);
    for (const auto& message : transferMessages(s)) messages.push_back(message);
    std::string found = s.differences(expected);
    if (s.view.messages != messages) found += "\nmessages differ";
    if (!found.empty()) {
      ADD_FAILURE() << "seed " << seed << ", D " << s.in.D << found;
      break;
    }
    if (!refused) {
      reached.transfer(expected, expected);
      reached.transferred += static_cast<int>(
          model::afterTransfer(s.before, s.in).newBook.size() - s.before.newBook.size());
    }
  }
  EXPECT_GT(reached.cases, static_cast<int>(kConvertThenFixSeeds) * 3 / 4);
  // Guns the transfer would have moved had the conversion not closed them.
  EXPECT_GT(reached.transferred, 0);
}

}  // namespace
}  // namespace varnok::testing
