// The window's controls as the operator finds them: options, the hidden
// "Fix", the exit button, the message boxes, and a layout with nothing cut
// or overlapping.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "support/book_fixture.h"
#include "support/window_driver.h"

namespace varnok::testing {
namespace {

using form::MessageBox;

class WindowControls : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(w.show()); }
  WindowDriver w;
};

TEST_F(WindowControls, TheWindowOpensAsDrawn) {
  EXPECT_EQ(w.window.windowTitle(), "Convert Gun Book for New License");
  EXPECT_TRUE(w.get("Command1")->isHidden());
  EXPECT_EQ(w.get<QPushButton>("Command1")->text(), "Fix");
  for (const char* name : {"Text3", "Text4", "Text5", "MaskEdBox1", "Text1_0", "Text2_5"})
    EXPECT_TRUE(w.box(name)->text().isEmpty()) << name;
  EXPECT_FALSE(w.get<QCheckBox>("Check1")->isChecked());
  for (const char* name : {"mnuOption1", "mnuOption2"}) {
    EXPECT_TRUE(w.get<QAction>(name)->isCheckable()) << name;
    EXPECT_FALSE(w.get<QAction>(name)->isChecked()) << name;
  }
}

TEST_F(WindowControls, EachOptionTogglesAndTwiceLeavesItUnchecked) {
  for (const char* name : {"mnuOption1", "mnuOption2"}) {
    w.trigger(name);
    EXPECT_TRUE(w.get<QAction>(name)->isChecked()) << name;
    w.trigger(name);
    EXPECT_FALSE(w.get<QAction>(name)->isChecked()) << name;
  }
}

TEST_F(WindowControls, FixRefusesADateThatIsNoDateAndChangesNoBook) {
  ScratchDir dir;
  const std::string oldFolder = dir.folder("old"), newFolder = dir.folder("new");
  makeBook(oldFolder, {gun("A1", "20040301", "20040320", "SOLD")});
  makeBook(newFolder, {});
  w.fillIn(oldFolder, newFolder, "");
  w.answerBoxes(MessageBox::Ok, 2);
  w.get<QPushButton>("Command1")->click();
  w.settle();
  EXPECT_EQ(w.boxesShown(), QStringList({"You must enter a valid date"}));
  EXPECT_EQ(readBook(oldFolder)[0].Status.view().substr(0, 4), "SOLD");
  EXPECT_TRUE(readBook(newFolder).empty());
}

TEST_F(WindowControls, TheExitButtonShowsARedCrossAndClosesTheWindow) {
  auto* exit = w.get<QPushButton>("ExitVarnok");
  EXPECT_EQ(exit->toolTip(), "Exit Sales Program");
  EXPECT_TRUE(exit->text().isEmpty());
  const QImage picture = exit->icon().pixmap(32, 32).toImage();
  ASSERT_EQ(picture.size(), QSize(32, 32));
  const QColor centre = picture.pixelColor(16, 16), corner = picture.pixelColor(1, 30);
  EXPECT_GT(centre.red(), 180);
  EXPECT_LT(centre.green(), 60);
  EXPECT_EQ(corner, QColor(Qt::white));
  w.click("ExitVarnok");
  EXPECT_FALSE(w.window.isVisible());
}

TEST_F(WindowControls, MessageBoxesShowTheTextAloneTitledVarnok) {
  struct Case {
    MessageBox::Kind kind;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton byDefault;
  };
  for (const Case& c : {Case{MessageBox::Information, QMessageBox::Ok, QMessageBox::Ok},
                        Case{MessageBox::ErrorReport,
                             QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore,
                             QMessageBox::Abort}}) {
    const auto box = MessageBox::build(&w.window, c.kind, "Error 6\r\nOverflow");
    EXPECT_EQ(box->windowTitle(), "Varnok");
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->text(), "Error 6\nOverflow");
    EXPECT_EQ(box->standardButtons(), c.buttons);
    EXPECT_EQ(box->defaultButton(), box->button(c.byDefault));
  }
}

// Where a control shows something: a label its text, from its top left.
QRect occupied(const QWidget* control) {
  const auto* label = qobject_cast<const QLabel*>(control);
  if (!label) return control->geometry();
  if (label->wordWrap()) return control->geometry();
  return QRect(label->pos(), label->sizeHint());
}

// Every caption shows whole inside its control, and no two visible controls
// overlap, whatever the factor the font called for.
TEST_F(WindowControls, NothingIsCutOrOverlapping) {
  EXPECT_GE(w.window.scale(), 1.0);
  QList<QWidget*> shown;
  for (QWidget* child : w.get("centralwidget")->findChildren<QWidget*>(
           QString(), Qt::FindDirectChildrenOnly)) {
    if (!child->isHidden()) shown.append(child);
  }
  for (const char* name : {"Label21", "Label22", "ProgressBar1", "ProgressBar2"})
    shown.append(w.get(name));
  for (QWidget* control : shown) {
    const QString name = control->objectName();
    if (auto* label = qobject_cast<QLabel*>(control)) {
      const QSize need = label->wordWrap()
                             ? QSize(0, label->heightForWidth(label->width()))
                             : label->sizeHint();
      EXPECT_LE(need.width(), label->width()) << name.toStdString();
      EXPECT_LE(need.height(), label->height()) << name.toStdString();
    }
    if (auto* check = qobject_cast<QCheckBox*>(control)) {
      EXPECT_LE(check->sizeHint().width(), check->width());
    }
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
      EXPECT_LE(edit->fontMetrics().height() + 4, edit->height()) << name.toStdString();
    }
    for (QWidget* other : shown) {
      if (other != control && occupied(other).intersects(occupied(control))) {
        ADD_FAILURE() << name.toStdString() << " overlaps " << other->objectName().toStdString();
      }
    }
  }
  const QString dateWidth = QStringLiteral("00/00/0000");
  EXPECT_LT(w.box("MaskEdBox1")->fontMetrics().horizontalAdvance(dateWidth),
            w.box("MaskEdBox1")->width());
}

}  // namespace
}  // namespace varnok::testing
