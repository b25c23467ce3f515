#include "ui/main/drop_notice.h"

#include <gtest/gtest.h>

#include <QLabel>

#include "ui/main/main_window_fixture.h"

namespace tarvelo::ui {
namespace {

// The window carries the notice, hidden while nothing is lost; a loss shows how many messages
// went, and a count that does not grow changes nothing.
TEST(DropNotice, ShowsHowManyMessagesWereLostWhenTheCountGrows) {
    testing::MainWindowRig rig;
    ASSERT_TRUE(rig.start());
    rig.window->show();
    auto* inWindow = rig.window->findChild<QLabel*>(QStringLiteral("dropNotice"));
    ASSERT_NE(inWindow, nullptr);
    EXPECT_FALSE(inWindow->isVisible());

    std::uint64_t lost = 0;
    DropNotice notice([&lost] { return lost; }, rig.window.get());
    notice.check();
    EXPECT_FALSE(notice.isVisibleTo(rig.window.get()));
    lost = 174;
    notice.check();
    EXPECT_TRUE(notice.isVisibleTo(rig.window.get()));
    EXPECT_TRUE(notice.text().contains(QStringLiteral("174"))) << notice.text().toStdString();
    const QString shown = notice.text();
    notice.check();
    EXPECT_EQ(notice.text(), shown);
}

}  // namespace
}  // namespace tarvelo::ui
