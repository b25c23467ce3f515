// The panic on the real window: its button, its key with computer-keyboard play on and off, and
// the input controller set in its dialog.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QSpinBox>
#include <QTimer>
#include <algorithm>

#include "window_input_fixture.h"

namespace tarvelo::ui {
namespace {

using Messages = std::vector<PackedMessage>;

class PanicWindow : public testing::WindowInputTest {
  protected:
    // How many channels of Out0 got All Sound Off since the last look; waits for the session's
    // drain when the input asked for the panic.
    int silencedChannels() {
        QElapsedTimer timer;
        timer.start();
        long count = 0;
        do {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            const Messages out = sent("Out0");
            count = std::count_if(out.begin(), out.end(), [](PackedMessage m) {
                return (statusOf(m) & 0xF0) == 0xB0 && data1Of(m) == 120;
            });
        } while (count == 0 && timer.elapsed() < 2000);
        rig.backend.clearRecords();
        return static_cast<int>(count);
    }
    // Clicks the panic controller's button and lets `choose` set its dialog, then OK.
    void setTrigger(const std::function<void(QDialog&)>& choose) {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            choose(*dialog);
            dialog->findChild<QPushButton*>(QStringLiteral("ok"))->click();
        });
        control<QPushButton>(w(), control_id::kPanicTrigger)->click();
    }
};

TEST_F(PanicWindow, TheButtonAndThePauseKeySilenceEveryOutputWithTheHookOnOrOff) {
    ASSERT_TRUE(rig.backend.inject(0, packMessage(0x90, 60, 100)));
    rig.backend.clearRecords();
    control<QPushButton>(w(), control_id::kPanic)->click();
    EXPECT_EQ(sent("Out0").front(), packMessage(0x80, 60, 0)) << "the held note ends first";
    EXPECT_EQ(silencedChannels(), 16);
    for (const bool hook : {false, true}) {
        keyboardHookBox(w())->setChecked(hook);
        QTest::keyClick(&w(), Qt::Key_Pause);
        EXPECT_EQ(silencedChannels(), 16) << "hook " << hook;
    }
    EXPECT_FALSE(modified());
    ASSERT_TRUE(rig.backend.inject(0, packMessage(0x90, 62, 100)));
    EXPECT_EQ(sent("Out0"), Messages{packMessage(0x90, 62, 100)}) << "the input plays on";
}

TEST_F(PanicWindow, TheControllerChosenInTheDialogAsksForThePanic) {
    auto* button = control<QPushButton>(w(), control_id::kPanicTrigger);
    EXPECT_EQ(button->text(), "ﾊﾟﾆｯｸCC : なし");
    setTrigger([](QDialog& d) {
        d.findChild<QCheckBox*>(QStringLiteral("panicTriggerOn"))->setChecked(true);
        d.findChild<QComboBox*>(QStringLiteral("panicController"))->setCurrentIndex(102);
        d.findChild<QSpinBox*>(QStringLiteral("panicValue"))->setValue(100);
    });
    EXPECT_EQ(parts().panicTrigger(), (PanicTrigger{102, 100}));
    EXPECT_EQ(button->text(), "ﾊﾟﾆｯｸCC : 102=100");
    EXPECT_TRUE(modified());
    ASSERT_TRUE(rig.backend.inject(0, packMessage(0xB0, 102, 100)));
    EXPECT_EQ(silencedChannels(), 16);

    const std::string file = rig.files.file("panic.trv");
    ASSERT_FALSE(session().save(file).has_value());

    setTrigger([](QDialog& d) {
        d.findChild<QCheckBox*>(QStringLiteral("panicTriggerOn"))->setChecked(false);
    });
    EXPECT_FALSE(parts().panicTrigger().enabled());
    EXPECT_EQ(button->text(), "ﾊﾟﾆｯｸCC : なし");
    // Open shows the controller the arrangement keeps beside its file.
    rig.boxes.answers.push_back(MessageAnswer::No);  // the change is not saved
    ASSERT_TRUE(rig.open(file));
    EXPECT_EQ(button->text(), "ﾊﾟﾆｯｸCC : 102=100");
}

}  // namespace
}  // namespace tarvelo::ui
