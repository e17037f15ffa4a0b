#include "conversion/removal_walk.h"

#include "conversion/refused_write.h"
#include "recordmanager/status.h"

namespace varnok::conversion {

void RemovalWalk::start(const std::string& from) {
  cursor_.KeyBuffer = from;
  cursor_.KeyNumber = 1;
  T([&] { status_ = cursor_.call(recordManager_, rm::op::GetGreaterOrEqual); });
}

bool RemovalWalk::mayRemove() const {
  return !passedOver_.contains(cursor_.Record.Field00.str());
}

bool RemovalWalk::remove() {
  const std::string field00 = cursor_.Record.Field00.str();
  bool deleted = false;
  // The write and its check are one statement, so that Retry deletes again.
  T([&] {
    status_ = cursor_.call(recordManager_, rm::op::Delete);
    raiseIfRefused(status_, rm::op::Delete, cursor_.Record);
    deleted = true;
  });
  if (!deleted) T([&] { passedOver_.insert(field00); });
  return deleted;
}

void RemovalWalk::next() {
  T([&] { status_ = cursor_.call(recordManager_, rm::op::GetNext); });
}

}  // namespace varnok::conversion
