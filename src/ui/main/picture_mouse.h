#pragma once

#include <QPoint>
#include <Qt>
#include <optional>

namespace tarvelo::ui {

// A mouse event anywhere over the main window (its background, the band strip or the keyboard
// picture), in the window's client coordinates. The window's pictures do not act on the mouse
// themselves: they hand every event to one handler, which classifies it with the geometry
// functions (areaAt and friends) and decides.
struct PictureMouseEvent {
    QPoint pos;
    Qt::MouseButton button = Qt::NoButton;    // the button that changed (press, release)
    Qt::MouseButtons buttons = Qt::NoButton;  // the buttons held
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

// Band editing and mouse play. User-interface thread.
class PictureMouseHandler {
  public:
    virtual ~PictureMouseHandler() = default;
    // A double click arrives as a second press.
    virtual void mousePressed(const PictureMouseEvent& event) = 0;
    virtual void mouseMoved(const PictureMouseEvent& event) = 0;
    virtual void mouseReleased(const PictureMouseEvent& event) = 0;
    // The cursor over the band strip at pos; nullopt for the ordinary arrow.
    virtual std::optional<Qt::CursorShape> cursorAt(QPoint pos) = 0;
};

}  // namespace tarvelo::ui
