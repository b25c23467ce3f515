// Band selection, boundary drags, splits and joins done with the mouse on the real window.

#include <gtest/gtest.h>

#include <QLineEdit>

#include "ui/controls/in_edit.h"
#include "ui/controls/stylish_button.h"
#include "ui/controls/stylish_check_button.h"
#include "ui/main/band_editing.h"
#include "ui/main/property_panel.h"
#include "window_input_fixture.h"

namespace tarvelo::ui {
namespace {

using testing::WindowInputTest;

std::vector<std::pair<int, int>> ranges(const PartList& parts) {
    std::vector<std::pair<int, int>> out;
    for (const Part& p : parts.parts())
        out.emplace_back(p.lowKey, p.highKey);
    return out;
}

using Ranges = std::vector<std::pair<int, int>>;

class BandMouseEditing : public WindowInputTest {};

TEST_F(BandMouseEditing, ClickSelectsOneBandAndCtrlClickBuildsAJoinableRun) {
    splitAt({48, 72});
    session().setName(2, "Top");

    clickStrip(insideBand(2));
    EXPECT_EQ(rig.model.selection.entries(), std::vector<int>{2});
    EXPECT_EQ(rig.model.selection.current(), 2);
    EXPECT_EQ(panel(w())->nameEdit()->text(), "Top");
    EXPECT_FALSE(joinButton(w())->isEnabled());

    // Bands 0 and 2 are not adjacent: no join until band 1 fills the gap.
    clickStrip(insideBand(0), Qt::ControlModifier);
    EXPECT_EQ(rig.model.selection.entries(), (std::vector<int>{0, 2}));
    EXPECT_FALSE(joinButton(w())->isEnabled());
    clickStrip(insideBand(1), Qt::ControlModifier);
    EXPECT_EQ(rig.model.selection.entries(), (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(joinButton(w())->isEnabled());

    // Taking band 0 out leaves the run 1..2, still joinable; a plain click starts over.
    clickStrip(insideBand(0), Qt::ControlModifier);
    EXPECT_EQ(rig.model.selection.entries(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(joinButton(w())->isEnabled());
    clickStrip(insideBand(1));
    EXPECT_EQ(rig.model.selection.entries(), std::vector<int>{1});
    EXPECT_FALSE(joinButton(w())->isEnabled());
    EXPECT_FALSE(modified()) << "selecting is no change";
    EXPECT_TRUE(rig.boxes.shown.empty());
}

TEST_F(BandMouseEditing, CtrlClickOnTheOnlySelectedBandEmptiesTheSelectionSafely) {
    splitAt({60});
    clickStrip(insideBand(1));
    clickStrip(insideBand(1), Qt::ControlModifier);
    EXPECT_EQ(rig.model.selection.count(), 0);
    EXPECT_FALSE(joinButton(w())->isEnabled());
    // The panel keeps showing a band that exists, and the strip can still be clicked.
    EXPECT_EQ(rig.model.selection.current(), 1);
    clickStrip(insideBand(0));
    EXPECT_EQ(rig.model.selection.entries(), std::vector<int>{0});
}

TEST_F(BandMouseEditing, ANewArrangementSelectsBandZeroAloneAndDisablesJoin) {
    splitAt({60});
    clickStrip(insideBand(1));
    clickStrip(insideBand(0), Qt::ControlModifier);
    ASSERT_TRUE(joinButton(w())->isEnabled());
    QTest::mouseClick(newButton(w()), Qt::LeftButton);
    EXPECT_EQ(parts().partCount(), 1);
    EXPECT_EQ(rig.model.selection.entries(), std::vector<int>{0});
    EXPECT_EQ(rig.model.selection.current(), 0);
    EXPECT_FALSE(joinButton(w())->isEnabled());
    EXPECT_EQ(panel(w())->nameEdit()->text(), "Part1");
}

TEST_F(BandMouseEditing, JoinMergesTheRunIntoTheCurrentBandAndRoutesThroughIt) {
    splitAt({48, 72});
    session().setName(1, "Kept");
    session().setChannel(1, 5);
    moveToDevice(1, 2);

    clickStrip(insideBand(0));
    clickStrip(insideBand(2), Qt::ControlModifier);
    clickStrip(insideBand(1), Qt::ControlModifier);  // band 1 becomes current
    ASSERT_TRUE(joinButton(w())->isEnabled());
    QTest::mouseClick(joinButton(w()), Qt::LeftButton);

    ASSERT_EQ(parts().partCount(), 1);
    EXPECT_EQ(parts().partAt(0).name, "Kept");
    EXPECT_EQ(ranges(parts()), (Ranges{{0, 127}}));
    EXPECT_EQ(rig.model.selection.entries(), std::vector<int>{0});
    EXPECT_FALSE(joinButton(w())->isEnabled());
    EXPECT_EQ(panel(w())->nameEdit()->text(), "Kept");
    EXPECT_TRUE(modified());
    EXPECT_NE(rig.title().find('*'), std::string::npos);

    // Key 20 belonged to band 0; it now goes where the kept band sends. (Out0, no longer used,
    // was reset when it closed.)
    EXPECT_FALSE(rig.backend.isOutputOpen("Out0"));
    rig.backend.clearRecords();
    ASSERT_TRUE(rig.backend.inject(0, packMessage(0x90, 20, 90)));
    EXPECT_EQ(sent("Out2"), std::vector<PackedMessage>{packMessage(0x95, 20, 90)});
    EXPECT_TRUE(sent("Out0").empty());
}

TEST_F(BandMouseEditing, AClickBesideEveryBandAsksForABandInBothModes) {
    // At the right end of the picture the strip runs past key 127.
    w().scrollKeyboard(ScrollCode::ThumbPosition, kScrollMaximum);
    const int beyond = bandEdge(w().viewOriginX(), 128) + 10;
    clickStrip(beyond);
    ASSERT_EQ(rig.boxes.texts(), std::vector<std::string>{"分割帯上を指定してください."});

    QTest::mouseClick(splitButton(w()), Qt::LeftButton);
    ASSERT_TRUE(splitButton(w())->checked());
    clickStrip(beyond);
    EXPECT_EQ(rig.boxes.shown.size(), 2u);
    EXPECT_EQ(parts().partCount(), 1);
    EXPECT_FALSE(modified());
}

TEST_F(BandMouseEditing, DraggingABoundaryPreviewsAndCommitsOnceAtTheRelease) {
    splitAt({60});
    moveToDevice(1, 1);
    clickStrip(insideBand(1));
    pressStrip(atBoundary(60));

    moveOverStrip(atBoundary(55));
    // The model and the routes keep the old boundary; the strip and the panel show the new one.
    EXPECT_EQ(ranges(parts()), (Ranges{{0, 59}, {60, 127}}));
    EXPECT_EQ(panel(w())->rangeLowEdit()->text(), "37h");
    EXPECT_NE(rig.title().find('*'), std::string::npos) << "the title shows the change at once";
    const Boundary b = boundaryAt(w().viewOriginX(), atBoundary(55));
    EXPECT_EQ(keyboardView(w())->markers(), (std::vector<KeyboardView::Marker>{{b.x, b.shape}}));
    ASSERT_TRUE(rig.backend.inject(0, packMessage(0x90, 57, 80)));
    EXPECT_EQ(sent("Out0").size(), 1u) << "routing waits for the release";

    releaseOverStrip(atBoundary(55));
    EXPECT_EQ(ranges(parts()), (Ranges{{0, 54}, {55, 127}}));
    EXPECT_TRUE(keyboardView(w())->markers().empty());
    EXPECT_TRUE(modified());
    ASSERT_TRUE(rig.backend.inject(0, packMessage(0x90, 57, 80)));
    const std::uint8_t channel = parts().partAt(1).channel;
    EXPECT_EQ(sent("Out1"), std::vector<PackedMessage>{packMessage(0x90 | channel, 57, 80)});
}

TEST_F(BandMouseEditing, ADragStopsWhereEitherBandWouldBeEmpty) {
    splitAt({48, 60});
    // Boundary 1 (key 60) dragged far left: band 1 keeps its one key 48.
    pressStrip(atBoundary(60));
    moveOverStrip(atBoundary(49));
    moveOverStrip(atBoundary(36));
    moveOverStrip(atBoundary(24));
    releaseOverStrip(atBoundary(24));
    EXPECT_EQ(ranges(parts()), (Ranges{{0, 47}, {48, 48}, {49, 127}}));

    // Boundary 0 (key 48) dragged far right: band 1 keeps one key, 48 itself.
    pressStrip(atBoundary(48));
    moveOverStrip(atBoundary(50));
    moveOverStrip(atBoundary(72));
    releaseOverStrip(atBoundary(72));
    EXPECT_EQ(ranges(parts()), (Ranges{{0, 47}, {48, 48}, {49, 127}}));

    // Back to a wider band 1, then boundary 0 to the right until band 1 is its last key.
    pressStrip(atBoundary(49));
    moveOverStrip(atBoundary(66));
    releaseOverStrip(atBoundary(66));
    ASSERT_EQ(ranges(parts()), (Ranges{{0, 47}, {48, 65}, {66, 127}}));
    pressStrip(atBoundary(48));
    moveOverStrip(atBoundary(60));
    moveOverStrip(atBoundary(65));
    moveOverStrip(atBoundary(84));
    releaseOverStrip(atBoundary(84));
    EXPECT_EQ(ranges(parts()), (Ranges{{0, 64}, {65, 65}, {66, 127}}));
}

TEST_F(BandMouseEditing, TheStripCursorTellsWhatAClickWouldDo) {
    splitAt({60});
    auto shapeAt = [&](int x) {
        moveOverStrip(x);
        return strip()->testAttribute(Qt::WA_SetCursor) ? strip()->cursor().shape()
                                                        : Qt::ArrowCursor;
    };
    EXPECT_EQ(shapeAt(atBoundary(60)), Qt::SizeHorCursor);
    EXPECT_EQ(shapeAt(insideBand(0)), Qt::ArrowCursor);
    QTest::mouseClick(splitButton(w()), Qt::LeftButton);
    EXPECT_EQ(shapeAt(atBoundary(60)), Qt::ForbiddenCursor);
    EXPECT_EQ(shapeAt(insideBand(0)), Qt::UpArrowCursor);
}

TEST_F(BandMouseEditing, SplitModePreviewsTheBoundaryAndSplitsAtIt) {
    moveToDevice(0, 1);
    QTest::mouseClick(splitButton(w()), Qt::LeftButton);
    ASSERT_TRUE(splitButton(w())->checked());

    moveOverStrip(atBoundary(72));
    const Boundary b = boundaryAt(w().viewOriginX(), atBoundary(72));
    EXPECT_EQ(keyboardView(w())->markers(), (std::vector<KeyboardView::Marker>{{b.x, b.shape}}));
    EXPECT_EQ(bandStrip(w())->guideLine(), stripXOfBoundary(b.x, b.shape));

    clickStrip(atBoundary(72));
    ASSERT_EQ(ranges(parts()), (Ranges{{0, 71}, {72, 127}}));
    EXPECT_TRUE(modified());
    // The new band plays on the split band's device.
    ASSERT_TRUE(rig.backend.inject(0, packMessage(0x90, 80, 64)));
    EXPECT_EQ(sent("Out1").size(), 1u);

    // On the new boundary a click splits nothing.
    clickStrip(atBoundary(72));
    EXPECT_EQ(parts().partCount(), 2);

    // Switching split mode off removes the preview.
    QTest::mouseClick(splitButton(w()), Qt::LeftButton);
    EXPECT_FALSE(splitButton(w())->checked());
    EXPECT_FALSE(bandStrip(w())->guideLine().has_value());
    EXPECT_TRUE(keyboardView(w())->markers().empty());
    // Without split mode the same click selects.
    clickStrip(insideBand(1));
    EXPECT_EQ(parts().partCount(), 2);
    EXPECT_EQ(rig.model.selection.current(), 1);
}

TEST_F(BandMouseEditing, ASplitAtTheBandsOwnFirstKeyIsRefused) {
    w().scrollKeyboard(ScrollCode::ThumbPosition, 0);
    QTest::mouseClick(splitButton(w()), Qt::LeftButton);
    // Key 0's column, inside band 0: splitting there would leave an empty band.
    clickStrip(bandEdge(w().viewOriginX(), 0) + 3);
    EXPECT_EQ(parts().partCount(), 1);
    EXPECT_FALSE(modified());
    EXPECT_TRUE(rig.boxes.shown.empty());
}

}  // namespace
}  // namespace tarvelo::ui
