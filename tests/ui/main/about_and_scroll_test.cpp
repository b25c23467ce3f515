#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "main_window_fixture.h"
#include "ui/main/about_box.h"
#include "ui/main/keyboard_view.h"

namespace tarvelo::ui {
namespace {

using testing::MainWindowRig;

TEST(AboutBox, ShowsTheVersionWithItsCaptionAndClosesWithOk) {
    AboutBox about;
    EXPECT_EQ(about.windowTitle(), "バージョン情報 Tarvelo");
    EXPECT_EQ(about.size(), QSize(463, 126));
    const auto* version = about.findChild<QLabel*>("version");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), "Tarvelo Version 1.0");
    const auto* licence = about.findChild<QLabel*>("licence");
    ASSERT_NE(licence, nullptr);
    EXPECT_EQ(licence->text(), "GPL-3.0-or-later (GNU GPL バージョン 3 以降)");
    // The application icon, rendered from the installed drawing: not an empty picture.
    const auto* icon = about.findChild<QLabel*>("icon");
    ASSERT_NE(icon, nullptr);
    const QImage picture = icon->pixmap().toImage();
    EXPECT_EQ(picture.size(), QSize(32, 32));
    EXPECT_EQ(qAlpha(picture.pixel(16, 16)), 255);
    EXPECT_EQ(AboutBox::kMenuText, "バージョン情報 Tarvelo(&A)...");
    auto* ok = about.findChild<QPushButton*>();
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    QTimer::singleShot(0, ok, &QPushButton::click);
    EXPECT_EQ(about.exec(), QDialog::Accepted);
}

TEST(AboutBox, OpensModallyOverTheWindowOnF1) {
    MainWindowRig rig;
    ASSERT_TRUE(rig.start());
    rig.window->show();
    rig.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
    QString seen;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (box) {
            seen = box->windowTitle();
            modal = box->isModal();
            box->close();
        }
    });
    QTest::keyClick(rig.window.get(), Qt::Key_F1);
    EXPECT_EQ(seen, "バージョン情報 Tarvelo");
    EXPECT_TRUE(modal);
}

TEST(AboutBox, IsOfferedByTheWindowsContextMenu) {
    MainWindowRig rig;
    ASSERT_TRUE(rig.start());
    rig.window->show();
    QStringList entries;
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions())
                entries << a->text();
            menu->close();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(400, 20),
                            rig.window->mapToGlobal(QPoint(400, 20)));
    QCoreApplication::sendEvent(rig.window.get(), &event);
    EXPECT_EQ(entries, QStringList{"バージョン情報 Tarvelo(&A)..."});
}

class KeyboardScrollBar : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(rig.start());
        bar = keyboardScrollBar(*rig.window);
    }
    MainWindowRig rig;
    QScrollBar* bar = nullptr;
};

TEST_F(KeyboardScrollBar, ArrowsMoveTheViewOneWhiteKey) {
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(bar->value(), 8);
    EXPECT_EQ(rig.window->viewOriginX(), -111);
    EXPECT_EQ(keyboardView(*rig.window)->viewOriginX(), -111);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(bar->value(), 6);
    EXPECT_EQ(rig.window->viewOriginX(), -83);
}

TEST_F(KeyboardScrollBar, TheTrackAndTheEndKeysChangeNothing) {
    for (auto action : {QAbstractSlider::SliderPageStepAdd, QAbstractSlider::SliderPageStepSub,
                        QAbstractSlider::SliderToMinimum, QAbstractSlider::SliderToMaximum}) {
        bar->triggerAction(action);
        EXPECT_EQ(bar->value(), 7) << action;
        EXPECT_EQ(rig.window->viewOriginX(), -97) << action;
    }
}

TEST_F(KeyboardScrollBar, DraggingTheThumbMovesTheView) {
    bar->setSliderDown(true);
    bar->setSliderPosition(21);
    bar->setSliderDown(false);
    EXPECT_EQ(bar->value(), 21);
    EXPECT_EQ(rig.window->viewOriginX(), -293);
}

TEST_F(KeyboardScrollBar, RepeatedLeftArrowAtTheStartChangesNothing) {
    for (int i = 0; i < 10; ++i)
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(rig.window->viewOriginX(), 1);
}

}  // namespace
}  // namespace tarvelo::ui
