#include "conversion/pass_support.h"

#include <algorithm>

#include "gunbook/book_folder.h"
#include "gunbook/myroutines.h"
#include "gunbook/windows1252.h"

namespace varnok::conversion {

std::string bookText(FormView& view, TextBox box, int index) {
  return gunbook::toWindows1252(view.text(box, index));
}

std::string trimFolderBox(FormView& view, TextBox box, errortrap::Trap& T) {
  std::string folder;
  T([&] { folder = view.text(box); });
  while (!folder.empty() && folder.back() == ' ') folder.pop_back();
  T([&] { view.setText(box, 0, folder); });
  return folder;
}

std::string finishFolderBox(FormView& view, TextBox box, errortrap::Trap& T) {
  std::string folder, finished;
  T([&] {
    folder = view.text(box);
    finished = gunbook::normaliseFolder(folder);
  });
  if (finished != folder) T([&] { view.setText(box, 0, finished); });
  return finished;
}

std::string normaliseFolderBox(FormView& view, TextBox box, errortrap::Trap& T) {
  trimFolderBox(view, box, T);
  return finishFolderBox(view, box, T);
}

std::string conversionDate(FormView& view, errortrap::Trap& T) {
  std::string date;
  T([&] { date = gunbook::nue(bookText(view, TextBox::MaskEdBox1)); });
  return date;
}

bool isBookDate(std::string_view date) {
  return date.size() == 8 &&
         std::all_of(date.begin(), date.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void disposeToNewLicensee(gunbook::GunRecord& entry, FormView& view, const std::string& bookDate,
                          errortrap::Trap& T) {
  T([&] { entry.DispAddress = bookText(view, TextBox::Text2, 2); });
  T([&] { entry.DispCity = bookText(view, TextBox::Text2, 3); });
  entry.DateOut = bookDate;
  T([&] { entry.DispFirstName = bookText(view, TextBox::Text2, 1); });
  T([&] { entry.DispLastName = bookText(view, TextBox::Text2, 0); });
  T([&] { entry.DispState = bookText(view, TextBox::Text2, 4); });
  T([&] { entry.DispZip = bookText(view, TextBox::Text2, 5); });
  entry.Status = "SOLD";
}

void showProgress(FormView& view, Bar bar, int32_t visited, int32_t total, errortrap::Trap& T) {
  // visited counts from 1, so the first test alone keeps the divisor at 1 or
  // more; the second holds it there should an increment have been skipped.
  if (visited > total || total < 1) return;
  const double share = static_cast<double>(visited) / static_cast<double>(total) * 100.0;
  T([&] { view.setBarValue(bar, static_cast<float>(share)); });
}

}  // namespace varnok::conversion
