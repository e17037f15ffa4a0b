// What the operator typed and ticked on the window, held plainly, and a view
// that serves the boxes and options from it. The command line's view, the
// tests' view and the benchmark's view build on it and add only how they
// show messages, bars and reports.
#pragma once

#include <array>
#include <string>
#include <utility>

#include "conversion/form_view.h"

namespace varnok::conversion {

struct FormValues {
  std::array<std::string, 6> previousLicensee;  // Text1(0..5)
  std::array<std::string, 6> newLicensee;       // Text2(0..5)
  std::string oldBookFolder;                    // Text3
  std::string newBookFolder;                    // Text4
  std::string newBookPrefix;                    // Text5
  std::string conversionDate;                   // MaskEdBox1, MM/DD/YYYY
  bool keepReceivedFrom = false;                // mnuOption1
  bool keepDateIn = false;                      // mnuOption2
  bool leaveReceivedInfo = false;               // Check1: mnuOption1 on the window

  // The box's text; index is 0..5 for the licensee boxes (out of range
  // throws) and ignored for the others.
  std::string& box(TextBox which, int index);
  bool& option(Option which);

  // What the view's boxes and options hold now.
  static FormValues readFrom(FormView& view);
};

class FormValuesView : public FormView {
 public:
  FormValuesView() = default;
  explicit FormValuesView(FormValues values) : form(std::move(values)) {}

  std::string text(TextBox box, int index) override { return form.box(box, index); }
  void setText(TextBox box, int index, const std::string& value) override {
    form.box(box, index) = value;
  }
  bool checked(Option option) override { return form.option(option); }

  FormValues form;
};

}  // namespace varnok::conversion
