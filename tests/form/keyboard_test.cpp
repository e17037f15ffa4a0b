// The window's keyboard flow and the checks made as the focus leaves or
// enters a box.
#include <gtest/gtest.h>

#include <QFocusEvent>

#include "support/window_driver.h"

namespace varnok::testing {
namespace {

const QString kValidDate = QStringLiteral("You must enter a valid date");
const QString kEnterAValue = QStringLiteral("You must enter a value");

class WindowKeyboard : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(w.show()); }

  void enter(const QString& name) {
    w.box(name)->setFocus();
    w.settle();
    ASSERT_EQ(w.focused(), name);
  }

  WindowDriver w;
};

TEST_F(WindowKeyboard, EnterAndTabWalkTheTabOrderFromText3BackToIt) {
  EXPECT_EQ(w.focused(), "Text3");
  EXPECT_TRUE(w.box("MaskEdBox1")->inputMask().isEmpty());
  w.type("/books/old");
  w.key(Qt::Key_Return);
  ASSERT_EQ(w.focused(), "MaskEdBox1");
  EXPECT_EQ(w.box("MaskEdBox1")->displayText(), "__/__/____");

  struct Step {
    QString typed;
    Qt::Key key;
    QString next;
  };
  const Step steps[] = {
      {"03152004", Qt::Key_Return, "Text1_0"}, {"prior", Qt::Key_Enter, "Text1_1"},
      {"pat", Qt::Key_Return, "Text1_2"},      {"1 old rd", Qt::Key_Return, "Text1_3"},
      {"oldtown", Qt::Key_Return, "Text1_4"},  {"tx", Qt::Key_Return, "Text1_5"},
      {"75001", Qt::Key_Return, "Text4"},      {"/books/new", Qt::Key_Return, "Text2_0"},
      {"newco", Qt::Key_Return, "Text2_1"},    {"nora", Qt::Key_Return, "Text2_2"},
      {"9 new st", Qt::Key_Return, "Text2_3"}, {"newtown", Qt::Key_Return, "Text2_4"},
      {"tx", Qt::Key_Return, "Text2_5"},       {"75002", Qt::Key_Return, "BeginConversion"},
      {"", Qt::Key_Tab, "ExitVarnok"},         {"", Qt::Key_Tab, "Check1"},
      {"", Qt::Key_Tab, "Text5"},              {"vp", Qt::Key_Return, "Text5"},
      {"", Qt::Key_Tab, "Text3"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.next.toStdString());
    w.type(step.typed);
    w.key(step.key);
    ASSERT_EQ(w.focused(), step.next);
  }
  EXPECT_TRUE(w.boxesShown().isEmpty());
  EXPECT_EQ(w.box("MaskEdBox1")->displayText(), "03/15/2004");
  EXPECT_EQ(w.box("Text5")->text(), "vp");  // no advance, no upper-casing
  EXPECT_EQ(w.box("Text4")->text(), "/books/new");
}

TEST_F(WindowKeyboard, AClickAnywhereInTheEmptyDateBoxTypesFromItsFirstDigit) {
  QLineEdit* date = w.box("MaskEdBox1");
  const QPoint places[] = {{4, date->height() / 2}, date->rect().center(),
                           {date->width() - 4, date->height() / 2}};
  for (const QPoint& place : places) {
    SCOPED_TRACE(place.x());
    date->clear();
    w.box("Text3")->setFocus();
    w.settle();
    QTest::mouseClick(date, Qt::LeftButton, Qt::NoModifier, place);
    w.settle();
    w.type("06302025");
    EXPECT_EQ(date->displayText(), "06/30/2025");
  }
  // A date being mended keeps the cursor where the click put it.
  QTest::mouseClick(date, Qt::LeftButton, Qt::NoModifier, {date->width() - 4, date->height() / 2});
  w.settle();
  EXPECT_EQ(date->cursorPosition(), date->displayText().size());
}

TEST_F(WindowKeyboard, LicenseeBoxesAreUpperCasedWhenLeftByEnterOrTabOnly) {
  struct Case {
    QString box, typed;
    Qt::Key key;  // Qt::Key_unknown: left by a click into Text1_5
    QString after;
  };
  const Case cases[] = {
      {"Text1_2", "1418 mill creek rd", Qt::Key_Return, "1418 MILL CREEK RD"},
      {"Text2_0", "velmora pawn", Qt::Key_Tab, "VELMORA PAWN"},
      // Windows-1252 letters too; none that would leave the book's code page.
      {"Text2_3", "élan ÿork œuvre straße µ", Qt::Key_Return, "ÉLAN ŸORK ŒUVRE STRAßE µ"},
      {"Text1_3", "lower case", Qt::Key_unknown, "lower case"},
      {"Text1_1", "lower", Qt::Key_A, "lowera"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.box.toStdString());
    enter(c.box);
    w.type(c.typed);
    if (c.key == Qt::Key_unknown) {
      w.click("Text1_5");
    } else {
      w.key(c.key);
    }
    EXPECT_EQ(w.box(c.box)->text(), c.after);
  }
}

TEST_F(WindowKeyboard, BoxesWrittenIntoABookKeepOutWhatABookCannotHold) {
  struct Case {
    QString box, typed, kept;
  };
  const Case cases[] = {
      {"Text1_1", QString::fromUtf8("ab\u20AC\U0001F600c"), QString::fromUtf8("ab\u20ACc")},
      {"Text2_2", QString::fromUtf8("x\u4E2D\u00E9y"), QString::fromUtf8("x\u00E9y")},
      {"Text5", QString::fromUtf8("v\u00F1\u0160\u0100p"), QString::fromUtf8("v\u00F1\u0160p")},
      // A folder is a path, not book text.
      {"Text4", QString::fromUtf8("/b\u4E2D"), QString::fromUtf8("/b\u4E2D")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.box.toStdString());
    enter(c.box);
    w.type(c.typed);
    EXPECT_EQ(w.box(c.box)->text(), c.kept);
  }
  // Pasted text, control characters among it, is held to the same rule.
  for (const QString& pasted : {QStringLiteral("tab\there"), QStringLiteral("bell\a")}) {
    w.box("Text1_3")->clear();
    w.box("Text1_3")->insert(pasted);
    EXPECT_EQ(w.box("Text1_3")->text(), "");
  }
  w.box("Text1_3")->insert(QStringLiteral("plain"));
  EXPECT_EQ(w.box("Text1_3")->text(), "plain");
}

TEST_F(WindowKeyboard, LeavingABoxChecksItOnlyForMovesMadeInTheWindow) {
  enum class Leave { Tab, ClickText4, AnotherWindow, Menu };
  struct Case {
    QString box, typed;
    Leave leave;
    QStringList shown;
    QString focusAfter;
  };
  const Case cases[] = {
      {"MaskEdBox1", "", Leave::Tab, {kValidDate}, "MaskEdBox1"},
      {"MaskEdBox1", "1215", Leave::Tab, {kValidDate}, "MaskEdBox1"},
      {"MaskEdBox1", "02302004", Leave::ClickText4, {kValidDate}, "MaskEdBox1"},
      {"MaskEdBox1", "02292004", Leave::Tab, {}, "Text1_0"},
      {"MaskEdBox1", "", Leave::AnotherWindow, {}, ""},
      {"Text1_4", "", Leave::Tab, {kEnterAValue}, "Text1_4"},
      {"Text1_4", "", Leave::ClickText4, {kEnterAValue}, "Text1_4"},
      {"Text1_1", "", Leave::Menu, {}, ""},
      {"Text1_2", "   ", Leave::Tab, {}, "Text1_3"},
      {"Text2_4", "", Leave::Tab, {}, "Text2_5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.box.toStdString() + " '" + c.typed.toStdString() + "'");
    w.box("MaskEdBox1")->clear();
    w.box(c.box)->clear();
    enter(c.box);
    w.type(c.typed);
    w.boxesShown();
    switch (c.leave) {
      case Leave::Tab: w.key(Qt::Key_Tab); break;
      case Leave::ClickText4: w.click("Text4"); break;
      case Leave::AnotherWindow:
      case Leave::Menu: {
        QFocusEvent out(QEvent::FocusOut, c.leave == Leave::Menu ? Qt::PopupFocusReason
                                                                  : Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(w.box(c.box), &out);
        w.settle();
        break;
      }
    }
    EXPECT_EQ(w.boxesShown(), c.shown);
    if (!c.focusAfter.isEmpty()) {
      EXPECT_EQ(w.focused(), c.focusAfter);
    }
  }
}

TEST_F(WindowKeyboard, TheLastNameOfThePreviousLicenseeWaitsForAValidDate) {
  struct Case {
    QString date, clicked, focusAfter;
  };
  const Case cases[] = {
      {"", "Text1_0", "MaskEdBox1"},
      {"12/__/2004", "Text1_0", "MaskEdBox1"},
      {"", "Text1_1", "Text1_1"},
      {"03/15/2004", "Text1_0", "Text1_0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date.toStdString() + " " + c.clicked.toStdString());
    w.box("Text1_0")->setText("PRIOR");
    w.box("Text1_1")->setText("PAT");
    w.box("MaskEdBox1")->setText(c.date);
    enter("Text3");
    w.click(c.clicked);
    EXPECT_EQ(w.focused(), c.focusAfter);
    EXPECT_TRUE(w.boxesShown().isEmpty());
  }
}

}  // namespace
}  // namespace varnok::testing
