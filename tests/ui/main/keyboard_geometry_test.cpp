#include "ui/main/keyboard_geometry.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvelo::ui {
namespace {

Part band(int low, int high) {
    Part p;
    p.lowKey = static_cast<std::uint8_t>(low);
    p.highKey = static_cast<std::uint8_t>(high);
    return p;
}

// Parts over 0..59, 60..64, 65..127.
std::vector<Part> threeBands() {
    return {band(0, 59), band(60, 64), band(65, 127)};
}

TEST(KeyboardGeometry, ScrollEndsShowKeyZeroAtOneAndKey131EndingAtTheClip) {
    EXPECT_EQ(viewOriginXForPosition(0), 1);
    EXPECT_EQ(keyImageX(viewOriginXForPosition(0), 0), 1);
    EXPECT_EQ(viewOriginXForPosition(21), -293);
    EXPECT_EQ(keyImageX(-293, 131) + kWhiteKeyWidth, kClipRight);
    EXPECT_EQ(kScrollMaximum, 21);
}

TEST(KeyboardGeometry, BandEdgesWithinAnOctave) {
    const std::vector<int> expected{0, 10, 18, 24, 32, 42, 52, 60, 66, 74, 80, 88};
    for (int s = 0; s < 12; ++s)
        EXPECT_EQ(bandEdge(0, s), expected[static_cast<std::size_t>(s)]) << s;
    EXPECT_EQ(bandEdge(0, 12), 98);
    EXPECT_EQ(bandEdge(-97, 13), -97 + 98 + 10);
}

TEST(KeyboardGeometry, OneKeyBandsSpanTheirKeysBandArea) {
    // C# of octave 0 alone, then D alone.
    EXPECT_EQ(bandEdge(5, 1), 15);
    EXPECT_EQ(bandEdge(5, 2), 23);
    EXPECT_EQ(bandEdge(5, 3), 29);
}

TEST(KeyboardGeometry, KeyAtPointUpperPartFindsBlackKeysByTheirSevenPixels) {
    const int origin = 1;
    const int y = 10;
    EXPECT_EQ(keyAtPoint(origin, 1, origin + 9, y), 0);
    for (int r = 10; r <= 16; ++r)
        EXPECT_EQ(keyAtPoint(origin, 1, origin + r, y), 1) << r;
    EXPECT_EQ(keyAtPoint(origin, 1, origin + 17, y), 2);
    EXPECT_EQ(keyAtPoint(origin, 1, origin + 23, y), 2);
    EXPECT_EQ(keyAtPoint(origin, 1, origin + 24, y), 3);
    EXPECT_EQ(keyAtPoint(origin, 1, origin + 30, y), 3);
    EXPECT_EQ(keyAtPoint(origin, 1, origin + 31, y), 4);
    EXPECT_EQ(keyAtPoint(origin, 1, origin + 41, y), 4);
    EXPECT_EQ(keyAtPoint(origin, 1, origin + 42, y), 5);
    EXPECT_EQ(keyAtPoint(origin, 1, origin + 52, y), 6);
    EXPECT_EQ(keyAtPoint(origin, 1, origin + 86, y), 10);
    EXPECT_EQ(keyAtPoint(origin, 1, origin + 87, y), 11);
    EXPECT_EQ(keyAtPoint(origin, 1, origin + 97, y), 11);
    EXPECT_EQ(keyAtPoint(origin, 1, origin + 98, y), 12);
}

TEST(KeyboardGeometry, KeyAtPointLowerPartAlwaysGivesTheWhiteKey) {
    const int origin = -97;   // the start-up view: key 12 at x = 1
    const int lowY = 1 + 45;  // the first row below the black keys
    const std::vector<int> whites{12, 14, 16, 17, 19, 21, 23};
    for (int x = 1; x < 99; ++x) {
        const int expected = whites[static_cast<std::size_t>((x - 1) / 14)];
        EXPECT_EQ(keyAtPoint(origin, 1, x, lowY), expected) << x;
        EXPECT_EQ(keyAtPoint(origin, 1, x, 1 + 63), expected) << x;
    }
    // Row 44 from the top still belongs to the black keys.
    EXPECT_EQ(keyAtPoint(origin, 1, 1 + 12, 1 + 44), 13);
}

TEST(KeyboardGeometry, BoundaryAtMapsEachSevenPixelColumnToOneBoundary) {
    struct Expect {
        int x;
        int boundaryX;
        BoundaryShape shape;
        int key;
    };
    const std::vector<Expect> cases{
        {0, -1, BoundaryShape::Straight, 0},       {6, -1, BoundaryShape::Straight, 0},
        {7, 13, BoundaryShape::WhiteToBlack, 1},   {14, 13, BoundaryShape::BlackToWhite, 2},
        {21, 27, BoundaryShape::WhiteToBlack, 3},  {28, 27, BoundaryShape::BlackToWhite, 4},
        {35, 41, BoundaryShape::Straight, 5},      {48, 41, BoundaryShape::Straight, 5},
        {49, 55, BoundaryShape::WhiteToBlack, 6},  {56, 55, BoundaryShape::BlackToWhite, 7},
        {63, 69, BoundaryShape::WhiteToBlack, 8},  {70, 69, BoundaryShape::BlackToWhite, 9},
        {77, 83, BoundaryShape::WhiteToBlack, 10}, {84, 83, BoundaryShape::BlackToWhite, 11},
        {91, 97, BoundaryShape::Straight, 12},     {97, 97, BoundaryShape::Straight, 12},
        {98, 97, BoundaryShape::Straight, 12},     {105, 111, BoundaryShape::WhiteToBlack, 13},
    };
    for (const Expect& c : cases) {
        const Boundary b = boundaryAt(0, c.x);
        EXPECT_EQ(b.x, c.boundaryX) << c.x;
        EXPECT_EQ(b.shape, c.shape) << c.x;
        EXPECT_EQ(b.key, c.key) << c.x;
    }
}

TEST(KeyboardGeometry, BoundaryBeforeFAndBeforeCAreFourteenPixelsWide) {
    int beforeF = 0;
    int beforeC = 0;
    for (int x = 0; x < 3 * 98; ++x) {
        const int key = boundaryAt(0, x).key;
        if (key == 12 + 5)
            ++beforeF;
        if (key == 24)
            ++beforeC;
    }
    EXPECT_EQ(beforeF, 14);
    EXPECT_EQ(beforeC, 14);
}

TEST(KeyboardGeometry, BoundaryKeyIsKeptToEightBits) {
    // Octave 21 would start key 252; its column 13 names key 264, kept as 8.
    EXPECT_EQ(boundaryAt(0, 21 * 98 + 91).key, 8);
}

TEST(KeyboardGeometry, HoveredBoundaryNamesTheBandLeftOfIt) {
    const std::vector<Part> parts = threeBands();
    const int origin = -97;
    // Part 2 starts at key 65 (F of octave 5): its boundary covers columns 5 and 6.
    const int octave5 = origin + 5 * 98;
    EXPECT_EQ(hoveredBoundary(origin, parts, octave5 + 35), 1);
    EXPECT_EQ(hoveredBoundary(origin, parts, octave5 + 48), 1);
    EXPECT_EQ(hoveredBoundary(origin, parts, octave5 + 49), -1);
    // Part 1 starts at key 60, the C of octave 5: column 13 of octave 4 and column 0 of 5.
    EXPECT_EQ(hoveredBoundary(origin, parts, octave5 - 7), 0);
    EXPECT_EQ(hoveredBoundary(origin, parts, octave5 + 6), 0);
    // Part 0's low key is no boundary.
    EXPECT_EQ(hoveredBoundary(1, parts, 1), -1);
}

TEST(KeyboardGeometry, BandAtStripXExcludesTheEdgePixels) {
    const std::vector<Part> parts = threeBands();
    const int origin = -97;
    const int edge = bandEdge(origin, 60);
    EXPECT_EQ(bandAtStripX(origin, parts, edge - 1), 0);
    EXPECT_EQ(bandAtStripX(origin, parts, edge), -1) << "exactly on an edge: no band";
    EXPECT_EQ(bandAtStripX(origin, parts, edge + 1), 1);
    EXPECT_EQ(bandAtStripX(origin, parts, bandEdge(origin, 65) + 1), 2);
    EXPECT_EQ(bandAtStripX(origin, {}, 100), -1);
}

TEST(KeyboardGeometry, BandOfKeyTakesTheFirstPartHoldingIt) {
    const std::vector<Part> parts = threeBands();
    EXPECT_EQ(bandOfKey(parts, 0), 0);
    EXPECT_EQ(bandOfKey(parts, 59), 0);
    EXPECT_EQ(bandOfKey(parts, 60), 1);
    EXPECT_EQ(bandOfKey(parts, 127), 2);
    EXPECT_EQ(bandOfKey(parts, 128), -1);
    EXPECT_EQ(bandOfKey({band(0, 70), band(60, 127)}, 65), 0);
}

TEST(KeyboardGeometry, StripXOfBoundaryMovesToTheBlackKeysEdge) {
    EXPECT_EQ(stripXOfBoundary(13, BoundaryShape::WhiteToBlack), 9);
    EXPECT_EQ(stripXOfBoundary(13, BoundaryShape::BlackToWhite), 17);
    EXPECT_EQ(stripXOfBoundary(41, BoundaryShape::Straight), 41);
}

TEST(KeyboardGeometry, AreaAtPrefersTheStripAndExcludesTheFrames) {
    const int w = 785;
    EXPECT_EQ(areaAt(1, 1, 1, -41, w), PictureArea::BandStrip);
    EXPECT_EQ(areaAt(0, 1, 0, -41, w), PictureArea::Outside);
    EXPECT_EQ(areaAt(w, 1, w, -41, w), PictureArea::Outside);
    EXPECT_EQ(areaAt(10, 34, 10, -8, w), PictureArea::BandStrip);
    EXPECT_EQ(areaAt(10, 35, 10, -7, w), PictureArea::Outside);
    EXPECT_EQ(areaAt(10, 43, 10, 1, w), PictureArea::Keyboard);
    EXPECT_EQ(areaAt(10, 105, 10, 63, w), PictureArea::Keyboard);
    EXPECT_EQ(areaAt(10, 106, 10, 64, w), PictureArea::Outside);
}

TEST(KeyboardScroll, LinesMoveOneWhiteKeyAndStopAtTheEnds) {
    KeyboardScroll s;
    EXPECT_EQ(s.position, 7);
    EXPECT_EQ(s.originX, -97);
    s = s.scrolled(ScrollCode::LineRight, 0);
    EXPECT_EQ(s, (KeyboardScroll{8, -111}));
    s = KeyboardScroll{0, 1};
    EXPECT_EQ(s.scrolled(ScrollCode::LineLeft, 0), s);
    s = KeyboardScroll{21, -293};
    EXPECT_EQ(s.scrolled(ScrollCode::LineRight, 0), s);
    EXPECT_EQ(s.scrolled(ScrollCode::LineLeft, 0), (KeyboardScroll{20, -279}));
}

TEST(KeyboardScroll, ThumbMovesToItsPositionAndOtherCodesChangeNothing) {
    const KeyboardScroll s;
    EXPECT_EQ(s.scrolled(ScrollCode::ThumbTrack, 0), (KeyboardScroll{0, 1}));
    EXPECT_EQ(s.scrolled(ScrollCode::ThumbPosition, 21), (KeyboardScroll{21, -293}));
    for (ScrollCode c : {ScrollCode::PageLeft, ScrollCode::PageRight, ScrollCode::Left,
                         ScrollCode::Right, ScrollCode::EndScroll}) {
        EXPECT_EQ(s.scrolled(c, 3), s);
    }
}

}  // namespace
}  // namespace tarvelo::ui
