#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "ui/controls/button_images.h"
#include "ui/controls/stylish_button.h"
#include "ui/controls/stylish_check_button.h"

namespace tarvelo::ui {
namespace {

using enum BitmapId;
using testing::buttonImage;

// A shown window with the "new" button and the split toggle.
struct Buttons {
    Buttons() {
        window.resize(200, 100);
        button.setGeometry(10, 10, 22, 28);
        button.setup(NewNormal, NewPressed, NewHover, NewNormal);
        toggle.setGeometry(50, 10, 22, 28);
        toggle.setup(SplitNormal, SplitChecked, SplitHover, SplitCheckedHover, SplitDisabled);
        window.show();
        // The pointer starts away from both buttons: a move to where an earlier test left it
        // would deliver no event.
        QTest::mouseMove(&window, QPoint(190, 90));
    }
    static QImage paint(QWidget& b) { return testing::shownImage(b); }
    QWidget window;
    CStylishButton button{&window};
    CStylishCheckButton toggle{&window};
};

TEST(CStylishButton, HoverFollowsTheMouseOverTheImageArea) {
    Buttons b;
    EXPECT_EQ(b.paint(b.button), buttonImage(b.button, {NewNormal}));
    QTest::mouseMove(&b.button, QPoint(5, 5));
    EXPECT_TRUE(b.button.hover());
    EXPECT_EQ(b.paint(b.button), buttonImage(b.button, {NewHover}));
    QTest::mouseMove(&b.button, QPoint(5, 24));  // y = 24 lies outside the 24 x 24 image
    EXPECT_FALSE(b.button.hover());
    EXPECT_EQ(b.paint(b.button), buttonImage(b.button, {NewNormal}));
}

TEST(CStylishButton, HeldDownShowsPressedAndReleasedOverItShowsHover) {
    Buttons b;
    QSignalSpy clicked(&b.button, &QPushButton::clicked);
    QTest::mouseMove(&b.button, QPoint(5, 5));
    QTest::mousePress(&b.button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(b.paint(b.button), buttonImage(b.button, {NewHover, NewPressed}));
    EXPECT_EQ(clicked.count(), 0);
    QTest::mouseRelease(&b.button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(b.paint(b.button), buttonImage(b.button, {NewHover}));
    EXPECT_EQ(clicked.count(), 1);
}

TEST(CStylishButton, DisabledDrawsTheDisabledImageOverTheNormalOne) {
    Buttons b;
    b.button.setup(JoinNormal, JoinPressed, JoinHover, JoinDisabled);
    b.button.setEnabled(false);
    EXPECT_EQ(b.paint(b.button), buttonImage(b.button, {JoinNormal, JoinDisabled}));
}

TEST(CStylishButton, LeavingTheWindowClearsHover) {
    Buttons b;
    QTest::mouseMove(&b.button, QPoint(5, 5));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&b.button, &leave);
    EXPECT_FALSE(b.button.hover());
}

TEST(CStylishCheckButton, PressTogglesAndReportsTheClickAtOnce) {
    Buttons b;
    QSignalSpy clicked(&b.toggle, &QPushButton::clicked);
    QTest::mouseMove(&b.toggle, QPoint(5, 5));
    EXPECT_EQ(b.paint(b.toggle), buttonImage(b.toggle, {SplitHover}));
    QTest::mousePress(&b.toggle, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(b.toggle.checked());
    EXPECT_EQ(clicked.count(), 1) << "the parent hears of the click at the press";
    EXPECT_EQ(b.paint(b.toggle), buttonImage(b.toggle, {SplitCheckedHover}));
    QTest::mouseRelease(&b.toggle, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 2) << "and again at the release, with the same state";
    EXPECT_TRUE(b.toggle.checked());
    QTest::mouseMove(&b.toggle, QPoint(30, 5), 0);
    QTest::mouseMove(&b.window, QPoint(150, 80));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&b.toggle, &leave);
    EXPECT_EQ(b.paint(b.toggle), buttonImage(b.toggle, {SplitChecked}));

    QTest::mouseClick(&b.toggle, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(b.toggle.checked());
}

TEST(CStylishCheckButton, ThePointAtTwentyFourIsOutside) {
    Buttons b;
    b.toggle.resize(30, 30);
    QTest::mouseMove(&b.toggle, QPoint(24, 5));
    EXPECT_FALSE(b.toggle.hover());
    QTest::mouseMove(&b.toggle, QPoint(23, 23));
    EXPECT_TRUE(b.toggle.hover());
}

TEST(CStylishCheckButton, DisabledShowsItsOwnImageWhateverTheState) {
    Buttons b;
    QTest::mouseClick(&b.toggle, Qt::LeftButton, {}, QPoint(5, 5));
    b.toggle.setEnabled(false);
    EXPECT_EQ(b.paint(b.toggle), buttonImage(b.toggle, {SplitDisabled}));
}

}  // namespace
}  // namespace tarvelo::ui
