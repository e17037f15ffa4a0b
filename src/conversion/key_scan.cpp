#include "conversion/key_scan.h"

#include <string>

#include "recordmanager/status.h"

namespace varnok::conversion {

void scanKey(gunbook::BookCursor& cursor, int16_t& status, rm::RecordManager& recordManager,
             int16_t keyNumber, errortrap::CallerTrap trap, const std::function<void()>& visit) {
  cursor.KeyBuffer = std::string(15, ' ');
  cursor.KeyNumber = keyNumber;
  trap([&] { status = cursor.call(recordManager, rm::op::GetGreaterOrEqual); });
  while (status == rm::status::Success) {
    visit();
    trap([&] { status = cursor.call(recordManager, rm::op::GetNext); });
  }
}

}  // namespace varnok::conversion
