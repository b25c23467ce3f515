#pragma once

// Drives the real main window with synthetic mouse and key events, on a virtual MIDI system.

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <string>
#include <vector>

#include "main_window_fixture.h"
#include "midi/packed_message.h"
#include "ui/main/band_editing.h"
#include "ui/main/band_strip_view.h"
#include "ui/main/keyboard_geometry.h"
#include "ui/main/keyboard_view.h"

namespace tarvelo::ui::testing {

class WindowInputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(rig.start());
        rig.window->show();
        rig.window->activateWindow();
        MainWindowRig::settle();
        rig.backend.clearRecords();
    }

    CMainDialog& w() { return *rig.window; }
    LiveSession& session() { return rig.model.session; }
    const PartList& parts() { return session().parts(); }
    QWidget* strip() { return bandStrip(*rig.window); }
    QWidget* keyboard() { return keyboardView(*rig.window); }
    bool modified() { return rig.modified(); }
    std::vector<PackedMessage> sent(const std::string& output) {
        return rig.backend.shortMessages(output);
    }

    // Splits the arrangement at the keys given (ascending), saves it and opens it again through
    // the Open button, so the window starts on it unmodified with band 0 selected and nothing
    // recorded as sent.
    void splitAt(const std::vector<int>& keys) {
        for (int key : keys)
            session().split(parts().partCount() - 1, key);
        const std::string file = rig.files.file("split.trv");
        ASSERT_FALSE(session().save(file).has_value());
        ASSERT_TRUE(rig.open(file));
        // The load sends the Parts' initial messages a Part per event-loop pass: let it finish
        // before the test sets up lists of its own.
        for (int part = 0; part < parts().partCount(); ++part)
            MainWindowRig::settle();
        rig.backend.clearRecords();
    }

    // Moves Part part onto output device.
    void moveToDevice(int part, int device) { session().setOutputDevice(part, device); }

    // Band-strip x coordinates at the current view origin.
    int insideBand(int band) {
        const Part& p = parts().partAt(band);
        const int origin = w().viewOriginX();
        return (bandEdge(origin, p.lowKey) + bandEdge(origin, p.highKey + 1)) / 2;
    }
    // Within the 7-pixel column of the boundary before key.
    int atBoundary(int key) { return bandEdge(w().viewOriginX(), key) + 1; }
    static QPoint stripPoint(int x) { return QPoint(x, 17); }
    // On the lower part of a white key, or the middle of a black key.
    QPoint keyPoint(int key) {
        const int x = keyImageX(w().viewOriginX(), key);
        return keyShape(key) == KeyShape::Black ? QPoint(x + 3, 20) : QPoint(x + 7, 55);
    }

    void clickStrip(int x, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseClick(strip(), Qt::LeftButton, modifiers, stripPoint(x));
    }
    void pressStrip(int x) {
        QTest::mousePress(strip(), Qt::LeftButton, {}, stripPoint(x));
        leftHeld_ = true;
    }
    // A move with the left button held after pressStrip, else a hover.
    void moveOverStrip(int x) {
        const QPoint pos = stripPoint(x);
        QMouseEvent event(QEvent::MouseMove, pos, strip()->mapToGlobal(pos), Qt::NoButton,
                          leftHeld_ ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(strip(), &event);
    }
    void releaseOverStrip(int x) {
        QTest::mouseRelease(strip(), Qt::LeftButton, {}, stripPoint(x));
        leftHeld_ = false;
    }

    void pressKey(int key) { QTest::mousePress(keyboard(), Qt::LeftButton, {}, keyPoint(key)); }
    void releaseKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseRelease(keyboard(), Qt::LeftButton, modifiers, keyPoint(key));
    }

    // A key event as the platform delivers it to the focused widget (or the window), optionally
    // produced by holding the key down.
    void sendKey(QEvent::Type type, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                 bool autoRepeat = false, const QString& text = {}) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &w();
        QKeyEvent event(type, key, modifiers, text, autoRepeat);
        QApplication::sendEvent(target, &event);
    }

    MainWindowRig rig;

  private:
    bool leftHeld_ = false;
};

}  // namespace tarvelo::ui::testing
