#include "conversion/date_check.h"

#include <cctype>
#include <chrono>

namespace varnok::conversion {
namespace {

bool digitsAt(std::string_view text, std::size_t from, std::size_t count, int& value) {
  value = 0;
  for (std::size_t i = from; i < from + count; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

}  // namespace

bool isValidDate(std::string_view text) {
  if (text.size() != 10 || text[2] != '/' || text[5] != '/') return false;
  int month, day, year;
  if (!digitsAt(text, 0, 2, month) || !digitsAt(text, 3, 2, day) || !digitsAt(text, 6, 4, year))
    return false;
  // Year 0000 exists in the proleptic calendar but not on a gun book.
  if (year < 1) return false;
  const std::chrono::year_month_day date{std::chrono::year{year},
                                         std::chrono::month{static_cast<unsigned>(month)},
                                         std::chrono::day{static_cast<unsigned>(day)}};
  return date.ok();
}

}  // namespace varnok::conversion
