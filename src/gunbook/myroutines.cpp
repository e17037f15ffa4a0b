#include "gunbook/myroutines.h"

#include "errortrap/trap.h"

namespace varnok::gunbook {

std::string nue(std::string text) {
  errortrap::Trap T("Myroutines1", "nue");
  std::string result;
  T([&] {
    const std::size_t n = text.size();
    result = n < 4 ? text : text.substr(n - 4);
    result += text.substr(0, 2);
    if (n > 3) result += text.substr(3, 2);
  });
  return result;
}

int32_t ConvBTI_long(const uint8_t* position) {
  errortrap::Trap T("Myroutines1", "ConvBTI_long");
  int32_t result = 0;
  T([&] {
    const uint32_t value = static_cast<uint32_t>(position[0]) |
                           static_cast<uint32_t>(position[1]) << 8 |
                           static_cast<uint32_t>(position[2]) << 16 |
                           static_cast<uint32_t>(position[3]) << 24;
    result = static_cast<int32_t>(value);
  });
  return result;
}

}  // namespace varnok::gunbook
