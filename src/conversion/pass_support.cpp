#include "conversion/pass_support.h"

#include <algorithm>

#include "gunbook/blanks.h"
#include "gunbook/book_folder.h"
#include "gunbook/date_and_number.h"
#include "gunbook/windows1252.h"

namespace varnok::conversion {

std::string bookText(FormView& view, TextBox box, int index) {
  return gunbook::toWindows1252(view.text(box, index));
}

std::string trimFolderBox(FormView& view, TextBox box, errortrap::CallerTrap trap) {
  std::string folder;
  trap([&] { folder = view.text(box, 0); });
  folder = gunbook::withoutTrailingBlanks(folder);
  trap([&] { view.setText(box, 0, folder); });
  return folder;
}

std::string finishFolderBox(FormView& view, TextBox box, errortrap::CallerTrap trap) {
  std::string folder, finished;
  trap([&] {
    folder = view.text(box, 0);
    finished = gunbook::normaliseFolder(folder);
  });
  if (finished != folder) trap([&] { view.setText(box, 0, finished); });
  return finished;
}

std::string normaliseFolderBox(FormView& view, TextBox box, errortrap::CallerTrap trap) {
  trimFolderBox(view, box, trap);
  return finishFolderBox(view, box, trap);
}

std::string conversionDate(FormView& view, errortrap::CallerTrap trap) {
  std::string date;
  trap([&] { date = gunbook::bookDateFromFormDate(bookText(view, TextBox::ConversionDate)); });
  return date;
}

bool isBookDate(std::string_view date) {
  return date.size() == 8 &&
         std::all_of(date.begin(), date.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void disposeToNewLicensee(gunbook::GunRecord& entry, FormView& view, const std::string& bookDate,
                          errortrap::CallerTrap trap) {
  trap([&] { entry.DispAddress = bookText(view, TextBox::NewLicensee, 2); });
  trap([&] { entry.DispCity = bookText(view, TextBox::NewLicensee, 3); });
  entry.DateOut = bookDate;
  trap([&] { entry.DispFirstName = bookText(view, TextBox::NewLicensee, 1); });
  trap([&] { entry.DispLastName = bookText(view, TextBox::NewLicensee, 0); });
  trap([&] { entry.DispState = bookText(view, TextBox::NewLicensee, 4); });
  trap([&] { entry.DispZip = bookText(view, TextBox::NewLicensee, 5); });
  entry.Status = "SOLD";
}

void receiveFromPreviousLicensee(gunbook::GunRecord& entry, FormView& view, errortrap::CallerTrap trap) {
  trap([&] { entry.RecvAddress = bookText(view, TextBox::PreviousLicensee, 2); });
  trap([&] { entry.RecvCity = bookText(view, TextBox::PreviousLicensee, 3); });
  trap([&] { entry.RecvFirstName = bookText(view, TextBox::PreviousLicensee, 1); });
  trap([&] { entry.RecvLastName = bookText(view, TextBox::PreviousLicensee, 0); });
  trap([&] { entry.RecvState = bookText(view, TextBox::PreviousLicensee, 4); });
  trap([&] { entry.RecvZip = bookText(view, TextBox::PreviousLicensee, 5); });
}

std::string newBookPrefix(FormView& view) {
  return gunbook::trimmedUpperCase(bookText(view, TextBox::NewBookPrefix));
}

bool leftBeforeDate(const gunbook::GunRecord& e, const std::string& bookDate) {
  return e.DateIn <= bookDate && e.Status.left(4) != "PAWN" && e.Status.left(4) != "SALE" &&
         e.DateOut < bookDate;
}

bool prefixCutsModel(const std::string& prefix, const gunbook::FixedText<15>& model) {
  // The prefix pushes out as many of the model's last characters as it is long.
  const std::size_t pushedOut = std::min(prefix.size(), model.width);
  return model.view().substr(model.width - pushedOut).find_first_not_of(' ') !=
         std::string_view::npos;
}

void showProgress(FormView& view, Bar bar, int32_t visited, int32_t total, errortrap::CallerTrap trap) {
  // visited counts from 1, so the first test alone keeps the divisor at 1 or
  // more; the second holds it there should an increment have been skipped.
  if (visited > total || total < 1) return;
  const double share = static_cast<double>(visited) / static_cast<double>(total) * 100.0;
  trap([&] { view.setBarValue(bar, static_cast<float>(share)); });
}

}  // namespace varnok::conversion
