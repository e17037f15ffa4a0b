#include "conversion/form_values.h"

namespace varnok::conversion {

std::string& FormValues::box(TextBox which, int index) {
  switch (which) {
    case TextBox::PreviousLicensee: return previousLicensee.at(index);
    case TextBox::NewLicensee: return newLicensee.at(index);
    case TextBox::OldBookFolder: return oldBookFolder;
    case TextBox::NewBookFolder: return newBookFolder;
    case TextBox::NewBookPrefix: return newBookPrefix;
    case TextBox::ConversionDate: break;
  }
  return conversionDate;
}

bool& FormValues::option(Option which) {
  switch (which) {
    case Option::KeepReceivedFrom: return keepReceivedFrom;
    case Option::KeepDateIn: return keepDateIn;
    case Option::LeaveReceivedInfo: break;
  }
  return leaveReceivedInfo;
}

}  // namespace varnok::conversion
