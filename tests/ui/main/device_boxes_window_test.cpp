// The device boxes follow devices that come and go, through the window on a virtual system.

#include <gtest/gtest.h>

#include <QComboBox>

#include "main_window_fixture.h"
#include "model/arrangement_file.h"
#include "ui/main/dialog_layout.h"

namespace tarvelo::ui {
namespace {

using testing::MainWindowRig;

std::vector<std::string> entries(const QComboBox* box) {
    std::vector<std::string> out;
    for (int i = 0; i < box->count(); ++i)
        out.push_back(box->itemText(i).toStdString());
    return out;
}

TEST(WindowDeviceBoxes, AbsentDevicesAreMarkedInPlaceAndTheSelectionStays) {
    MainWindowRig rig;
    ASSERT_TRUE(rig.start());
    rig.window->show();
    StoredArrangement a;
    a.inputDeviceName = "In1";
    StoredPart part;
    part.outputDeviceName = "Sampler";
    a.parts.push_back(part);
    const std::string file = rig.files.file("sampler.trv");
    ASSERT_EQ(writeArrangementFile(file, a), std::nullopt);
    ASSERT_TRUE(rig.open(file));
    const QComboBox* output = control<QComboBox>(*rig.window, control_id::kOutputDevice);
    const QComboBox* input = inputDeviceBox(*rig.window);
    EXPECT_EQ(entries(output),
              (std::vector<std::string>{"Out0", "Out1", "Out2", "Sampler (未接続)"}));
    EXPECT_EQ(output->currentIndex(), 3);

    rig.backend.removeInput("In1");
    rig.backend.addOutput("Sampler");
    MainWindowRig::settle();
    EXPECT_EQ(entries(input), (std::vector<std::string>{"In0", "In1 (未接続)"}));
    EXPECT_EQ(input->currentIndex(), 1);
    EXPECT_EQ(entries(output), (std::vector<std::string>{"Out0", "Out1", "Out2", "Sampler"}));
    EXPECT_EQ(output->currentIndex(), 3);
    EXPECT_TRUE(rig.backend.isOutputOpen("Sampler"));
}

}  // namespace
}  // namespace tarvelo::ui
