#include "gunbook/date_and_number.h"

#include "errortrap/trap.h"
#include "recordmanager/little_endian.h"

namespace varnok::gunbook {

std::string bookDateFromFormDate(std::string text) {
  errortrap::Trap trap("Myroutines1", "nue");
  std::string result;
  trap([&] {
    const std::size_t n = text.size();
    result = n < 4 ? text : text.substr(n - 4);
    result += text.substr(0, 2);
    if (n > 3) result += text.substr(3, 2);
  });
  return result;
}

int32_t int32FromLittleEndian(const uint8_t* position) {
  errortrap::Trap trap("Myroutines1", "ConvBTI_long");
  int32_t result = 0;
  trap([&] {
    result = static_cast<int32_t>(rm::readLittleEndian<4>(position));
  });
  return result;
}

}  // namespace varnok::gunbook
