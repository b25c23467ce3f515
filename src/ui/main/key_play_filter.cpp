#include "ui/main/key_play_filter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "ui/controls/in_edit.h"
#include "ui/main/computer_keyboard_play.h"
#include "ui/main/key_codes.h"

namespace tarvelo::ui {

KeyPlayFilter::KeyPlayFilter(QWidget* window, ComputerKeyboardPlay& play, QObject* parent)
    : QObject(parent), window_(window), play_(play) {}

bool KeyPlayFilter::isOurs(QObject* watched) const {
    // Key events also pass the platform window on their way to a widget; only the widget counts.
    const auto* widget = qobject_cast<const QWidget*>(watched);
    return widget && widget->window() == window_;
}

bool KeyPlayFilter::focusInCommitEdit() const {
    const QWidget* focus = QApplication::focusWidget();
    return focus && focus->window() == window_ && qobject_cast<const CInEdit*>(focus);
}

bool KeyPlayFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::ShortcutOverride: {
            // A key the hook takes must not fire a shortcut first: claiming the override makes the
            // key arrive as a plain key press, which keyDown then takes.
            if (!play_.hook() || !isOurs(watched))
                return false;
            const KeyStroke stroke =
                keyStrokeOf(*static_cast<QKeyEvent*>(event), focusInCommitEdit());
            if (ComputerKeyboardPlay::isWindowKey(stroke) ||
                (stroke.virtualKey == kVirtualKeyReturn && stroke.focusInEdit))
                return false;
            event->accept();
            return true;
        }
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            if (!isOurs(watched))
                return false;
            // A key the player leaves alone may be seen again as it bubbles up to the widget's
            // parents; keyDown and keyUp do nothing a second time for such a key.
            const KeyStroke stroke =
                keyStrokeOf(*static_cast<QKeyEvent*>(event), focusInCommitEdit());
            const bool taken =
                event->type() == QEvent::KeyPress ? play_.keyDown(stroke) : play_.keyUp(stroke);
            if (taken)
                event->accept();
            return taken;
        }
        case QEvent::WindowDeactivate:
            if (watched == window_)
                play_.endAllNotes();
            return false;
        default:
            return false;
    }
}

}  // namespace tarvelo::ui
