// What the band strip and the keyboard picture actually draw.

#include <gtest/gtest.h>

#include <QImage>

#include "main_window_fixture.h"
#include "ui/main/band_strip_view.h"
#include "ui/main/keyboard_view.h"
#include "ui/resources/bitmaps.h"
#include "ui/resources/palette.h"

namespace tarvelo::ui {
namespace {

using testing::MainWindowRig;

Part band(int low, int high, std::string name) {
    Part p;
    p.lowKey = static_cast<std::uint8_t>(low);
    p.highKey = static_cast<std::uint8_t>(high);
    p.name = std::move(name);
    return p;
}

QColor at(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

class BandStripPicture : public ::testing::Test {
  protected:
    void draw(const std::vector<Part>& parts, const BandSelection& selection, int origin = 1) {
        view.resize(785, 42);
        view.drawBands(parts, selection, origin, 785);
        image = view.composed().toImage();
    }
    BandStripView view;
    QImage image;
};

TEST_F(BandStripPicture, BandsAreOutlinedRectanglesOnTheBackground) {
    BandSelection none;
    draw({band(0, 11, "A"), band(12, 127, "B")}, none);
    ASSERT_EQ(image.size(), QSize(785, 34));
    const int edge = bandEdge(1, 12);  // 99
    EXPECT_EQ(at(image, 0, 10), palette::kStripBackground) << "left of key 0's band";
    EXPECT_EQ(at(image, 1, 10), QColor(Qt::black)) << "band 0's outline";
    EXPECT_EQ(at(image, 5, 10), palette::kBandFill);
    EXPECT_EQ(at(image, edge - 2, 10), QColor(Qt::black)) << "band 0's right outline";
    EXPECT_EQ(at(image, edge - 1, 10), palette::kStripBackground) << "one pixel between bands";
    EXPECT_EQ(at(image, edge, 10), QColor(Qt::black)) << "band 1 starts at its edge";
    EXPECT_EQ(at(image, edge + 5, 0), QColor(Qt::black));
    EXPECT_EQ(at(image, edge + 5, 33), QColor(Qt::black));
}

TEST_F(BandStripPicture, SelectedBandsAreHighlightedAndOthersAreNot) {
    BandSelection selection;
    selection.toggle(1);
    selection.toggle(3);
    const std::vector<Part> parts{band(0, 11, "P0"), band(12, 23, "P1"), band(24, 35, "P2"),
                                  band(36, 127, "P3")};
    draw(parts, selection);
    auto fillOf = [&](int i) {
        const int left = bandEdge(1, parts[static_cast<std::size_t>(i)].lowKey);
        return at(image, left + 4, 4);
    };
    auto outlineOf = [&](int i) {
        const int left = bandEdge(1, parts[static_cast<std::size_t>(i)].lowKey);
        return at(image, left + 1, 10);
    };
    EXPECT_EQ(fillOf(0), palette::kBandFill);
    EXPECT_EQ(fillOf(1), palette::kSelectedFill);
    EXPECT_EQ(outlineOf(1), palette::kSelectedOutline) << "a 2-pixel outline";
    EXPECT_EQ(fillOf(2), palette::kBandFill);
    EXPECT_EQ(fillOf(3), palette::kSelectedFill);
}

TEST_F(BandStripPicture, NamesAreWrittenInsideTheirBand) {
    BandSelection none;
    draw({band(0, 59, "Piano"), band(60, 127, "")}, none);
    const int right = bandEdge(1, 60) - 2;
    bool dark = false;
    for (int x = 3; x < right - 2; ++x) {
        for (int y = 3; y < 31; ++y)
            dark = dark || at(image, x, y).value() < 100;
    }
    EXPECT_TRUE(dark) << "no text drawn in band 0";
    for (int x = right + 4; x < 780; ++x) {
        for (int y = 3; y < 31; ++y)
            ASSERT_GE(at(image, x, y).value(), 100) << x << "," << y;
    }
}

TEST_F(BandStripPicture, TheGuideLineLastsUntilTheNextDraw) {
    BandSelection none;
    draw({band(0, 127, "All")}, none);
    view.drawGuideLine(200);
    EXPECT_EQ(view.guideLine(), 200);
    view.drawBands({band(0, 127, "All")}, none, 1, 785);
    EXPECT_FALSE(view.guideLine().has_value());
}

TEST(KeyImages, HaveTheirSizesAndLeaveTheNeighboursKeysTransparent) {
    using enum BitmapId;
    EXPECT_EQ(resourceBitmap(Octave).size(), QSize(kOctaveWidth, kOctaveHeight));
    for (BitmapId id : {BlackReleased, BlackPressed})
        EXPECT_EQ(resourceBitmap(id).size(), QSize(7, 45)) << static_cast<int>(id);
    for (BitmapId id : {WhiteRightReleased, WhiteRightPressed, WhiteBothReleased, WhiteBothPressed,
                        WhiteLeftReleased, WhiteLeftPressed})
        EXPECT_EQ(resourceBitmap(id).size(), QSize(14, 64)) << static_cast<int>(id);
    for (int id = 149; id <= 171; ++id) {
        if (id == 165 || id == 168)
            continue;  // no button uses them
        EXPECT_EQ(resourceBitmap(static_cast<BitmapId>(id)).size(), QSize(24, 24)) << id;
    }
    EXPECT_TRUE(resourceBitmap(static_cast<BitmapId>(4242)).isNull());

    // C (shape 1): its upper right columns belong to C#.
    const QImage c = keyImage(KeyShape::WhiteBlackRight, true).toImage();
    EXPECT_EQ(c.pixelColor(12, 5).alpha(), 0);
    EXPECT_EQ(c.pixelColor(5, 5).alpha(), 255);
    EXPECT_EQ(c.pixelColor(12, 50).alpha(), 255);
    // D (shape 2): both upper corners are black keys.
    const QImage d = keyImage(KeyShape::WhiteBlackBoth, false).toImage();
    EXPECT_EQ(d.pixelColor(1, 5).alpha(), 0);
    EXPECT_EQ(d.pixelColor(12, 5).alpha(), 0);
    EXPECT_EQ(d.pixelColor(6, 5).alpha(), 255);
    // E (shape 3): only the upper left.
    const QImage e = keyImage(KeyShape::WhiteBlackLeft, false).toImage();
    EXPECT_EQ(e.pixelColor(1, 5).alpha(), 0);
    EXPECT_EQ(e.pixelColor(11, 5).alpha(), 255);
    // Pressed keys look different from released ones.
    EXPECT_NE(keyImage(KeyShape::WhiteBlackRight, true).toImage().pixelColor(5, 20),
              keyImage(KeyShape::WhiteBlackRight, false).toImage().pixelColor(5, 20));
    EXPECT_NE(keyImage(KeyShape::Black, true).toImage().pixelColor(3, 20),
              keyImage(KeyShape::Black, false).toImage().pixelColor(3, 20));
}

TEST(KeyboardPicture, ShowsPressedKeysAndMarkersWhereTheGeometrySays) {
    MainWindowRig rig;
    ASSERT_TRUE(rig.start());
    CMainDialog& w = *rig.window;
    w.show();
    KeyboardView& kb = *keyboardView(w);
    const QColor released = kb.grab().toImage().pixelColor(keyImageX(-97, 60) + 5, 20);

    w.showKey(packMessage(0x90, 60, 100));
    w.showKey(packMessage(0x90, 61, 100));
    QImage image = kb.grab().toImage();
    const QColor pressedWhite =
        keyImage(KeyShape::WhiteBlackRight, true).toImage().pixelColor(5, 20);
    EXPECT_EQ(image.pixelColor(keyImageX(-97, 60) + 5, 20), pressedWhite);
    EXPECT_NE(pressedWhite, released);
    EXPECT_EQ(image.pixelColor(keyImageX(-97, 61) + 3, 20),
              keyImage(KeyShape::Black, true).toImage().pixelColor(3, 20));

    w.showKey(packMessage(0x90, 60, 0));
    image = kb.grab().toImage();
    EXPECT_EQ(image.pixelColor(keyImageX(-97, 60) + 5, 20), released);
    EXPECT_TRUE(kb.keyPressed(61));

    // A marker of shape 1 follows the black key's left side down, then the white keys' line.
    const int x = keyImageX(-97, 60) + 13;
    w.drawBoundaryMarker(x, BoundaryShape::WhiteToBlack, true);
    image = kb.grab().toImage();
    EXPECT_EQ(image.pixelColor(x - 4, 10), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(x - 2, 1 + 45), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(x, 1 + 55), QColor(255, 0, 0));
    w.drawBoundaryMarker(x, BoundaryShape::WhiteToBlack, false);
    EXPECT_TRUE(kb.markers().empty());
    w.drawBoundaryMarker(x, BoundaryShape::Straight, true);
    w.drawKeyboard();
    EXPECT_TRUE(kb.markers().empty());
    EXPECT_FALSE(kb.keyPressed(61));
}

}  // namespace
}  // namespace tarvelo::ui
