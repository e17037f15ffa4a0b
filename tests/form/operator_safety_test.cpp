// What keeps an operator from harm on a busy day: no shortcut types into a
// box, a way out with any box empty, a date that can be typed again after
// its message, a refused character named where the operator looks, and a
// window that fits the screen at any font.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QMenu>
#include <QScreen>
#include <QScrollArea>
#include <QToolTip>
#include <optional>

#include "support/window_driver.h"

namespace varnok::testing {
namespace {

class OperatorSafety : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(w.show()); }
  void enter(const QString& name) {
    w.box(name)->setFocus();
    w.settle();
    ASSERT_EQ(w.focused(), name);
  }
  WindowDriver w;
};

TEST_F(OperatorSafety, AltKeysOpenTheMenusAndNeverTypeIntoABox) {
  for (const char* name : {"Text3", "MaskEdBox1", "Text1_1", "Text2_3", "Text5"}) {
    SCOPED_TRACE(name);
    enter(name);
    for (const Qt::Key key : {Qt::Key_X, Qt::Key_Z, Qt::Key_1})
      QTest::keyClick(w.box(name), key, Qt::AltModifier);
    QTest::keyClick(w.box(name), Qt::Key_Q, Qt::MetaModifier);
    w.settle();
    EXPECT_EQ(w.box(name)->text(), w.box(name)->inputMask().isEmpty() ? "" : "//");
  }
  struct Opening {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* menu;
  };
  for (const Opening& o : {Opening{Qt::Key_O, Qt::AltModifier, "mnufile"},
                           Opening{Qt::Key_R, Qt::AltModifier, "mnuReport"},
                           Opening{Qt::Key_F10, Qt::NoModifier, "mnufile"}}) {
    SCOPED_TRACE(o.menu);
    w.window.activateWindow();
    enter("Text2_0");
    QTest::keyClick(w.box("Text2_0"), o.key, o.modifiers);
    EXPECT_TRUE(w.get<QMenu>(o.menu)->isVisible());
    w.get<QMenu>(o.menu)->hide();
    w.settle();
    EXPECT_TRUE(w.box("Text2_0")->text().isEmpty());
  }
}

TEST_F(OperatorSafety, TheExitButtonAndEscapeLeaveWithAnEmptyBoxFocused) {
  for (const bool byEscape : {false, true}) {
    SCOPED_TRACE(byEscape ? "Escape" : "exit button");
    WindowDriver fresh;
    ASSERT_TRUE(fresh.show());
    fresh.box("Text1_4")->setFocus();
    fresh.settle();
    if (byEscape) {
      fresh.key(Qt::Key_Escape);
    } else {
      fresh.click("ExitVarnok");
    }
    EXPECT_TRUE(fresh.boxesShown().isEmpty());
    EXPECT_FALSE(fresh.window.isVisible());
  }
}

TEST_F(OperatorSafety, AfterTheInvalidDateMessageTheNextDateIsTypedFromItsStart) {
  enter("MaskEdBox1");
  for (const QString& wrong : {QStringLiteral("02302025"), QStringLiteral("1231")}) {
    SCOPED_TRACE(wrong.toStdString());
    w.type(wrong);
    w.key(Qt::Key_Tab);
    ASSERT_EQ(w.boxesShown(), QStringList({"You must enter a valid date"}));
    ASSERT_EQ(w.focused(), "MaskEdBox1");
  }
  w.type("06302025");
  EXPECT_EQ(w.box("MaskEdBox1")->displayText(), "06/30/2025");
  w.key(Qt::Key_Tab);
  EXPECT_TRUE(w.boxesShown().isEmpty());
  EXPECT_EQ(w.focused(), "Text1_0");
}

TEST_F(OperatorSafety, ARefusedCharacterIsNamedUnderTheBoxAndAPasteIsRefusedWhole) {
  enter("Text1_3");
  QToolTip::hideText();
  w.type(QString::fromUtf8("\u0141\u00D3D\u0179 caf\u00E9"));
  EXPECT_EQ(w.box("Text1_3")->text(), QString::fromUtf8("\u00D3D caf\u00E9"));
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_TRUE(QToolTip::text().contains("U+0179")) << QToolTip::text().toStdString();
  // Just under the box.
  const QPoint under = w.box("Text1_3")->mapToGlobal(QPoint(0, w.box("Text1_3")->height()));
  for (const QWidget* top : QApplication::topLevelWidgets()) {
    if (!top->inherits("QTipLabel") || !top->isVisible()) continue;
    EXPECT_LE(std::abs(top->y() - under.y()), 24) << top->y() << " " << under.y();
    EXPECT_LE(std::abs(top->x() - under.x()), 24) << top->x() << " " << under.x();
  }

  struct Paste {
    QString text, named;
  };
  for (const Paste& p : {Paste{QString::fromUtf8("\u0141\u00D3D\u0179"), "U+0141"},
                         Paste{QStringLiteral("tab\there"), "tab"}}) {
    SCOPED_TRACE(p.named.toStdString());
    QToolTip::hideText();
    QApplication::clipboard()->setText(p.text);
    w.box("Text2_2")->setText("KEPT");
    enter("Text2_2");
    w.box("Text2_2")->paste();
    EXPECT_EQ(w.box("Text2_2")->text(), "KEPT");
    EXPECT_TRUE(QToolTip::text().contains(p.named)) << QToolTip::text().toStdString();
  }
}

// Every control the keyboard reaches shows whole inside the window's view
// once it has the focus.
void expectEveryControlReachable(WindowDriver& d) {
  auto* area = d.get<QScrollArea>("formArea");
  ASSERT_NE(area, nullptr);
  for (QWidget* control : d.get("centralwidget")->findChildren<QWidget*>()) {
    if (!control->isVisibleTo(&d.window) || control->focusPolicy() == Qt::NoFocus) continue;
    control->setFocus();
    d.settle();
    const QRect inView(control->mapTo(area->viewport(), QPoint(0, 0)), control->size());
    EXPECT_TRUE(area->viewport()->rect().contains(inView))
        << control->objectName().toStdString() << " at " << inView.x() << "," << inView.y() << " "
        << inView.width() << "x" << inView.height() << " in " << area->viewport()->width() << "x"
        << area->viewport()->height();
  }
}

TEST(WindowFit, FitsTheScreenAtEveryFontSizeWithEveryControlReachable) {
  const QFont desktopFont = QApplication::font();
  for (const int points : {9, 11, 14}) {
    SCOPED_TRACE(points);
    QFont font = desktopFont;
    font.setPointSize(points);
    QApplication::setFont(font);
    std::optional<WindowDriver> d;
    d.emplace();
    ASSERT_TRUE(d->show());
    const QRect screen = d->window.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(d->window.frameGeometry()))
        << d->window.frameGeometry().x() << "," << d->window.frameGeometry().y() << " "
        << d->window.frameGeometry().width() << "x" << d->window.frameGeometry().height();
    expectEveryControlReachable(*d);
  }
  QApplication::setFont(desktopFont);
}

}  // namespace
}  // namespace varnok::testing
