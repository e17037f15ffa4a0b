// Writes that the record manager refuses are reported, not passed over.
#pragma once

#include <cstdint>

#include "gunbook/gun_record.h"
#include "recordmanager/record_manager.h"

namespace varnok::conversion {

// Raises a run-time error when `status` is not 0: the number is
// err::RecordManagerInsert/Update/Delete/Close by operation, the description
// names the operation, the status (number and text) and the entry's Field00,
// e.g. "Update refused with status 5 (duplicate key value) for entry G-1001".
// Call it in the same trapped statement as the write, so that Retry runs the
// write again and Ignore skips both.
// `manager` made the write and names the status.
void raiseIfRefused(const rm::RecordManager& manager, int16_t status, uint16_t operation,
                    const gunbook::GunRecord& entry);

}  // namespace varnok::conversion
