#include "gunbook/myroutines.h"

#include "errortrap/trap.h"

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
    const uint32_t value = static_cast<uint32_t>(position[0]) |
                           static_cast<uint32_t>(position[1]) << 8 |
                           static_cast<uint32_t>(position[2]) << 16 |
                           static_cast<uint32_t>(position[3]) << 24;
    result = static_cast<int32_t>(value);
  });
  return result;
}

}  // namespace varnok::gunbook
