#include "form/control_names.h"

namespace varnok::form {

using conversion::Bar;
using conversion::Option;
using conversion::Shown;
using conversion::TextBox;

QString objectNameOf(TextBox box, int index) {
  switch (box) {
    case TextBox::Text1: return QStringLiteral("Text1_%1").arg(index);
    case TextBox::Text2: return QStringLiteral("Text2_%1").arg(index);
    case TextBox::Text3: return QStringLiteral("Text3");
    case TextBox::Text4: return QStringLiteral("Text4");
    case TextBox::Text5: return QStringLiteral("Text5");
    case TextBox::MaskEdBox1: return QStringLiteral("MaskEdBox1");
  }
  return {};
}

QString objectNameOf(Option option) {
  switch (option) {
    case Option::mnuOption1: return QStringLiteral("mnuOption1");
    case Option::mnuOption2: return QStringLiteral("mnuOption2");
    case Option::Check1: return QStringLiteral("Check1");
  }
  return {};
}

QString objectNameOf(Shown control) {
  switch (control) {
    case Shown::Label21: return QStringLiteral("Label21");
    case Shown::Label22: return QStringLiteral("Label22");
    case Shown::ProgressBar1: return QStringLiteral("ProgressBar1");
    case Shown::ProgressBar2: return QStringLiteral("ProgressBar2");
  }
  return {};
}

QString objectNameOf(Bar bar) {
  return bar == Bar::ProgressBar1 ? QStringLiteral("ProgressBar1") : QStringLiteral("ProgressBar2");
}

}  // namespace varnok::form
