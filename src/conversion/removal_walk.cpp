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
  const gunbook::GunRecord entry = cursor_.Record;
  bool deleted = false;
  // The write and its check are one statement, so that Retry deletes again.
  T([&] {
    status_ = cursor_.call(recordManager_, rm::op::Delete);
    raiseIfRefused(status_, rm::op::Delete, cursor_.Record);
    deleted = true;
  });
  if (deleted) {
    restart_ = true;
    restartFrom_ = entry.DateIn.str();
  } else {
    T([&] { passedOver_.insert(entry.Field00.str()); });
  }
  return deleted;
}

void RemovalWalk::next() {
  if (restart_) {
    restart_ = false;
    start(restartFrom_);
  } else {
    T([&] { status_ = cursor_.call(recordManager_, rm::op::GetNext); });
  }
}

}  // namespace varnok::conversion
