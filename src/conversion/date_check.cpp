#include "conversion/date_check.h"

#include <cctype>

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

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

}  // namespace

bool isValidDate(std::string_view text) {
  if (text.size() != 10 || text[2] != '/' || text[5] != '/') return false;
  int month, day, year;
  if (!digitsAt(text, 0, 2, month) || !digitsAt(text, 3, 2, day) || !digitsAt(text, 6, 4, year))
    return false;
  if (year < 1 || month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int days = kDaysInMonth[month - 1] + (month == 2 && isLeapYear(year) ? 1 : 0);
  return day <= days;
}

}  // namespace varnok::conversion
