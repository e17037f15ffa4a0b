#include "conversion/converter.h"

namespace varnok::conversion {

Converter::Converter(FormView& view, rm::RecordManager& recordManager)
    : view_(view), recordManager_(recordManager) {}

}  // namespace varnok::conversion
