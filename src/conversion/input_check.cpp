#include "conversion/input_check.h"

#include <cstdio>

#include "gunbook/book_folder.h"
#include "gunbook/windows1252.h"

namespace varnok::conversion {
namespace {

std::string codePointText(char32_t cp) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(cp));
  return text;
}

const char* controlName(char32_t cp) {
  switch (cp) {
    case 0x09: return " (tab)";
    case 0x0A: return " (line feed)";
    case 0x0D: return " (carriage return)";
    case 0x1B: return " (escape)";
    default: return "";
  }
}

bool isControl(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

}  // namespace

std::string unstorableCharacter(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size();) {
    const gunbook::Utf8Char c = gunbook::decodeUtf8(utf8, i);
    if (!c.valid) {
      char byte[8];
      std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(utf8[i]));
      return std::string("the byte ") + byte + " (not valid UTF-8 text)";
    }
    if (isControl(c.codePoint))
      return "the control character " + codePointText(c.codePoint) + controlName(c.codePoint);
    if (!gunbook::windows1252Byte(c.codePoint))
      return "the character " + codePointText(c.codePoint);
    i += c.length;
  }
  return {};
}

std::string boxName(TextBox box, int index) {
  static const char* const kParts[6] = {"Last Name", "First Name", "Address",
                                        "City",      "State",      "Zip"};
  switch (box) {
    case TextBox::PreviousLicensee: return std::string("Previous Gun Licensee ") + kParts[index];
    case TextBox::NewLicensee: return std::string("New Gun Licensee ") + kParts[index];
    case TextBox::OldBookFolder: return "Old Gun Book folder";
    case TextBox::NewBookFolder: return "New Gun Book folder";
    case TextBox::NewBookPrefix: return "Prefix in new gunbook";
    case TextBox::ConversionDate: return "Date to Convert GB";
  }
  return {};
}

bool licenseesAndFoldersFilled(FormView& view, errortrap::CallerTrap trap) {
  bool filledIn = true;
  for (int i = 0; i <= 5; ++i) {
    trap([&] {
      if (view.text(TextBox::PreviousLicensee, i).empty() ||
          view.text(TextBox::NewLicensee, i).empty())
        filledIn = false;
    });
  }
  trap([&] {
    if (view.text(TextBox::OldBookFolder, 0).empty() || view.text(TextBox::NewBookFolder, 0).empty())
      filledIn = false;
  });
  return filledIn;
}

std::string unstorableTextMessage(FormView& view, bool withPrefix, errortrap::CallerTrap trap) {
  std::string message;
  const auto judge = [&](TextBox box, int index) {
    if (!message.empty()) return;
    trap([&] {
      const std::string what = unstorableCharacter(view.text(box, index));
      if (!what.empty())
        message = boxName(box, index) + " holds " + what + ", which a gun book cannot store.";
    });
  };
  for (TextBox box : {TextBox::PreviousLicensee, TextBox::NewLicensee})
    for (int i = 0; i <= 5; ++i) judge(box, i);
  if (withPrefix) judge(TextBox::NewBookPrefix, 0);
  return message;
}

std::string overlongFolderMessage(FormView& view, errortrap::CallerTrap trap) {
  std::string message;
  for (TextBox box : {TextBox::OldBookFolder, TextBox::NewBookFolder}) {
    if (!message.empty()) break;
    trap([&] {
      const std::string problem = gunbook::folderLengthProblem(view.text(box, 0));
      if (!problem.empty()) message = boxName(box) + ": " + problem + ".";
    });
  }
  return message;
}

}  // namespace varnok::conversion
