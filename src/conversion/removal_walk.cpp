#include "conversion/removal_walk.h"

#include "conversion/refused_write.h"
#include "recordmanager/status.h"

namespace varnok::conversion {

void RemovalWalk::start(const std::string& from, std::source_location call) {
  cursor_.KeyBuffer = from;
  cursor_.KeyNumber = 1;
  T([&] { status_ = cursor_.call(recordManager_, rm::op::GetGreaterOrEqual); }, call);
}

bool RemovalWalk::mayRemove() const {
  return !passedOver_.contains(cursor_.Record.Field00.str());
}

bool RemovalWalk::remove(std::source_location call) {
  const std::string field00 = cursor_.Record.Field00.str();
  bool deleted = false;
  // The write and its check are one statement, so that Retry deletes again.
  T([&] {
    status_ = cursor_.call(recordManager_, rm::op::Delete);
    raiseIfRefused(recordManager_, status_, rm::op::Delete, cursor_.Record);
    deleted = true;
  }, call);
  if (!deleted) T([&] { passedOver_.insert(field00); }, call);
  return deleted;
}

void RemovalWalk::next(std::source_location call) {
  T([&] { status_ = cursor_.call(recordManager_, rm::op::GetNext); }, call);
}

}  // namespace varnok::conversion
