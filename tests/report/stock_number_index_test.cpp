// The flat stock-number table answers as a map would, through growth and
// erasures that leave holes inside runs of colliding keys.
#include "report/stock_number_index.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

namespace varnok::report {
namespace {

// Grown as keys come, and with room made beforehand.
class StockNumberIndexRoom : public ::testing::TestWithParam<std::size_t> {};
INSTANTIATE_TEST_SUITE_P(Reserved, StockNumberIndexRoom, ::testing::Values(0, 3000, 20000));

TEST_P(StockNumberIndexRoom, AnswersAsAMapDoes) {
  StockNumberIndex index;
  index.reserve(GetParam());
  std::map<std::string, uint32_t> model;
  std::mt19937 random(11);
  auto stock = [&] {
    std::string key(StockNumberIndex::kKeyLength, ' ');
    key.replace(0, 7, "G-2025-");
    key.replace(7, 5, std::to_string(10000 + random() % 5000));
    return key;
  };
  auto bytes = [](const std::string& key) { return reinterpret_cast<const uint8_t*>(key.data()); };
  for (uint32_t step = 0; step < 60000; ++step) {
    const std::string key = stock();
    switch (random() % 3) {
      case 0: {
        const auto [entry, added] = index.findOrAdd(bytes(key), step);
        const auto [at, modelAdded] = model.try_emplace(key, step);
        ASSERT_EQ(added, modelAdded) << key;
        ASSERT_EQ(entry, at->second) << key;
        break;
      }
      case 1:
        index.set(bytes(key), step);
        model[key] = step;
        break;
      default:
        index.erase(bytes(key));
        model.erase(key);
    }
  }
  // Every key the model holds is found with its entry; every other is new.
  for (int i = 0; i < 5000; ++i) {
    const std::string key = stock();
    const auto found = model.find(key);
    const auto [entry, added] = index.findOrAdd(bytes(key), 999999);
    ASSERT_EQ(added, found == model.end()) << key;
    if (found != model.end()) {
      ASSERT_EQ(entry, found->second) << key;
    }
    if (added) model.emplace(key, 999999);
  }
}

}  // namespace
}  // namespace varnok::report
