#include "form/control_names.h"

namespace varnok::form {

using conversion::Bar;
using conversion::Option;
using conversion::Shown;
using conversion::TextBox;

QString objectNameOf(TextBox box, int index) {
  switch (box) {
    case TextBox::PreviousLicensee: return QStringLiteral("Text1_%1").arg(index);
    case TextBox::NewLicensee: return QStringLiteral("Text2_%1").arg(index);
    case TextBox::OldBookFolder: return QStringLiteral("Text3");
    case TextBox::NewBookFolder: return QStringLiteral("Text4");
    case TextBox::NewBookPrefix: return QStringLiteral("Text5");
    case TextBox::ConversionDate: return QStringLiteral("MaskEdBox1");
  }
  return {};
}

QString objectNameOf(Option option) {
  switch (option) {
    case Option::KeepReceivedFrom: return QStringLiteral("mnuOption1");
    case Option::KeepDateIn: return QStringLiteral("mnuOption2");
    case Option::LeaveReceivedInfo: return QStringLiteral("Check1");
  }
  return {};
}

QString objectNameOf(Shown control) {
  switch (control) {
    case Shown::OldBookLabel: return QStringLiteral("Label21");
    case Shown::NewBookLabel: return QStringLiteral("Label22");
    case Shown::OldBookBar: return QStringLiteral("ProgressBar1");
    case Shown::NewBookBar: return QStringLiteral("ProgressBar2");
  }
  return {};
}

QString objectNameOf(Bar bar) {
  return bar == Bar::OldBook ? QStringLiteral("ProgressBar1") : QStringLiteral("ProgressBar2");
}

}  // namespace varnok::form
