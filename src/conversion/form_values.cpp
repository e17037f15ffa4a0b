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

FormValues FormValues::readFrom(FormView& view) {
  FormValues values;
  for (int i = 0; i < 6; ++i) {
    values.previousLicensee[i] = view.text(TextBox::PreviousLicensee, i);
    values.newLicensee[i] = view.text(TextBox::NewLicensee, i);
  }
  for (TextBox box : {TextBox::OldBookFolder, TextBox::NewBookFolder, TextBox::NewBookPrefix,
                      TextBox::ConversionDate})
    values.box(box, 0) = view.text(box, 0);
  for (Option option : {Option::KeepReceivedFrom, Option::KeepDateIn, Option::LeaveReceivedInfo})
    values.option(option) = view.checked(option);
  return values;
}

}  // namespace varnok::conversion
