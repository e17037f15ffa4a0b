#include "conversion/refused_write.h"

#include <string>

#include "errortrap/runtime_error.h"
#include "gunbook/blanks.h"
#include "recordmanager/status.h"

namespace varnok::conversion {
namespace {

struct WriteKind {
  int32_t number;
  const char* name;
};

WriteKind kindOf(uint16_t operation) {
  namespace err = errortrap::err;
  switch (operation) {
    case rm::op::Insert: return {err::RecordManagerInsert, "Insert"};
    case rm::op::Update: return {err::RecordManagerUpdate, "Update"};
    case rm::op::Delete: return {err::RecordManagerDelete, "Delete"};
    default: return {err::RecordManagerClose, "Close"};
  }
}

}  // namespace

void raiseIfRefused(const rm::RecordManager& manager, int16_t status, uint16_t operation,
                    const gunbook::GunRecord& entry) {
  if (status == rm::status::Success) return;
  const WriteKind kind = kindOf(operation);
  std::string description = std::string(kind.name) + " refused with status " +
                            std::to_string(status) + " (" + manager.statusText(status) + ")";
  if (operation != rm::op::Close) description += " for entry " + std::string(gunbook::withoutTrailingBlanks(entry.Field00.view()));
  throw errortrap::RunTimeError(kind.number, description);
}

}  // namespace varnok::conversion
