#pragma once

#include <QWidget>
#include <array>
#include <bitset>
#include <vector>

#include "midi/packed_message.h"
#include "ui/main/keyboard_geometry.h"

namespace tarvelo::ui {

// The keyboard picture: eleven octave pictures side by side from the view origin, with the keys
// that notes have shown pressed, a mark on the keys that still sound from an earlier song, and
// the boundary markers of band editing on top.
//
// Views paint, handlers decide: the draw and show functions only record what to show and
// schedule a repaint; several changes before the next event-loop pass cost one paint of the keys
// that changed between the two paints (a key pressed and released in between is not painted).
// A caller that shows keys in batches of its own (the notes drained once per display frame) asks
// for that paint itself at the end of each batch, which saves the event-loop passes of a queued
// repaint. User-interface thread only.
class KeyboardView : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kKeyCount = kOctaveCount * 12;  // 132 keys drawn

    explicit KeyboardView(QWidget* parent = nullptr);

    void setViewOrigin(int originX) { originX_ = originX; }
    int viewOriginX() const { return originX_; }

    // The whole picture again with every key released and no marker.
    void drawKeyboard();

    // When the keys a showKey() changed are painted: at the end of this event-loop pass, or at
    // the caller's next paintChangedKeys().
    enum class KeyRepaint { Queued, OnRequest };

    // Shows one note message: a status of 90h or above with a velocity above 0 presses the key in
    // the first data byte; anything else (a note off, a note on with velocity 0) releases it.
    void showKey(PackedMessage message, KeyRepaint repaint = KeyRepaint::Queued);
    // Paints now the keys whose state changed since the last paint was asked for.
    void paintChangedKeys();

    // Draws (visible) or removes (not visible) the marker of one band boundary: a red line that
    // follows the outline of the black key between the two keys.
    void drawBoundaryMarker(int x, BoundaryShape shape, bool visible);

    bool keyPressed(int key) const;

    // Marks exactly these keys (0..127) as still sounding from an earlier song: a dot low on
    // the key, over its pressed or released picture. Repaints the keys whose mark changed.
    void showLingering(const std::bitset<128>& keys);
    const std::bitset<128>& lingering() const { return lingering_; }
    struct Marker {
        int x;
        BoundaryShape shape;
        bool operator==(const Marker&) const = default;
    };
    const std::vector<Marker>& markers() const { return markers_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QRect keyRect(int key) const;
    QRect lingeringMarkRect(int key) const;
    // The keys whose state differs from what the last repaint request showed; they count as
    // requested from now on.
    QRegion takeChangedKeys();
    // Queued after the first key change of an event-loop pass: asks for the repaint of the keys
    // that changed.
    void updateChangedKeys();

    int originX_ = viewOriginXForPosition(7);
    std::array<bool, kKeyCount> pressed_{};
    std::array<bool, kKeyCount> requested_{};  // the states the last repaint request showed
    bool updateQueued_ = false;
    std::vector<Marker> markers_;
    std::bitset<128> lingering_;
};

}  // namespace tarvelo::ui
