#include "conversion/converter.h"

#include "gunbook/book_folder.h"
#include "recordmanager/status.h"

namespace varnok::conversion {

Converter::Converter(FormView& view, rm::RecordManager& recordManager)
    : view_(view), recordManager_(recordManager) {}

errortrap::Answer Converter::CountingReporter::errorReport(const std::string& message) {
  const errortrap::Answer answer = view.errorReport(message);
  if (answer == errortrap::Answer::Ignore) ++ignored;
  return answer;
}

std::string Converter::ignoredReportsWarning() const {
  if (reporter_.ignored == 0) return {};
  return std::to_string(reporter_.ignored) + msg::IgnoredReportsTail;
}

bool Converter::openBookOn(gunbook::BookCursor& cursor, TextBox folderBox,
                           const std::string& folder, errortrap::CallerTrap trap) {
  cursor.PosBlock.fill(' ');
  cursor.KeyLength = 255;
  trap([&] { cursor.KeyBuffer = gunbook::bookFileKey(folder); });
  cursor.KeyNumber = 0;
  trap([&] { lastStatus = cursor.call(recordManager_, rm::op::Open); });
  if (lastStatus == rm::status::Success) return true;
  const char* which = folderBox == TextBox::OldBookFolder ? "old book " : "new book ";
  unopenedBooks_.push_back(which + gunbook::bookPath(folder) +
                           ": cannot open: " + gunbook::statusPhrase(recordManager_, lastStatus));
  return false;
}

void Converter::tellWhyNotOpened(errortrap::CallerTrap trap) {
  if (unopenedBooks_.empty() || lastStatus == rm::status::FileNotFound) return;
  std::string why = unopenedBooks_.back();
  trap([&] {
    if (!refusalDetails) return;
    const std::vector<std::string> details = refusalDetails();
    for (; refusalDetailsTold_ < details.size(); ++refusalDetailsTold_)
      why += "; " + details[refusalDetailsTold_];
  });
  trap([&] { view_.messageBox(why); });
}

void Converter::startAfresh() {
  outcome_ = Outcome::NotRun;
  unopenedBooks_.clear();
  cutModels_.clear();
  convertedBy_.clear();
  refusalDetailsTold_ = 0;
  reporter_.ignored = 0;
}

}  // namespace varnok::conversion
