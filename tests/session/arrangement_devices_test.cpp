#include "session/arrangement_devices.h"

#include <gtest/gtest.h>

#include "model/arrangement_file.h"
#include "session/live_session.h"
#include "support/temp_dir.h"
#include "support/virtual_rig.h"

namespace tarvelo {
namespace {

using testing::ScriptedMessageBoxes;
using testing::TempDir;
using testing::VirtualRig;
using Bytes = std::vector<std::uint8_t>;

std::vector<std::uint8_t> sysexOf(std::size_t n, std::uint8_t fill) {
    std::vector<std::uint8_t> b(n, fill);
    b.front() = 0xF0;
    b.back() = 0xF7;
    return b;
}

// Five splits, a Part moved to Out2, messages of every kind, Part 3 the target.
void buildRichArrangement(LiveSession& session) {
    for (int key : {20, 40, 60, 80, 100})
        session.split(session.parts().partCount() - 1, key);
    session.setOutputDevice(3, 2);
    session.setNoteShift(3, -12);
    session.setName(3, "ストリングス");
    session.setNoteShift(1, 128);
    session.messageList(0).append(InitialMessage{0, 0xB0, 7, 100, {}, 0});
    session.messageList(0).append(InitialMessage{5, 0xF0, -1, -1, sysexOf(11, 0x41), 11});
    session.messageList(0).append(InitialMessage{1, 0xC0, 5, -1, {}, 0});
    session.messageList(3).append(InitialMessage{6, 0xFE, -1, -1, {}, 0});
    session.messageList(5).append(InitialMessage{5, 0xF0, -1, -1, sysexOf(300, 0x7E), 300});
    session.setTarget(3);
}

StoredArrangement storedOf(const VirtualRig& rig) {
    return storedArrangementOf(rig.parts(), rig.session.devices());
}

TEST(ArrangementSaving, NewArrangementIsSavedByteExact) {
    TempDir dir;
    VirtualRig rig;
    ASSERT_EQ(rig.session.save(dir.file("new.trv")), std::nullopt);
    Bytes expected = {1, 0, 0, 0, 0x7F, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 'I', 'n'};
    for (std::string_view text : {"Part1", "Out0"}) {
        expected.push_back(static_cast<std::uint8_t>(text.size()));
        expected.insert(expected.end(), text.begin(), text.end());
    }
    expected.insert(expected.end(), {0, 0, 0, 0, 0, 0, 0, 0x7F, 0, 0, 0, 0, 0, 0, 0, 0, 4});
    expected.insert(expected.end(), {'O', 'u', 't', '0', 0});
    EXPECT_EQ(testing::readBytes(dir.file("new.trv")), expected);
}

TEST(ArrangementLoading, RichArrangementComesBackWithItsDevicesOpen) {
    TempDir dir;
    VirtualRig saved;
    buildRichArrangement(saved.session);
    ASSERT_EQ(saved.session.save(dir.file("a.trv")), std::nullopt);

    VirtualRig loaded;
    ASSERT_EQ(loaded.session.load(dir.file("a.trv")), std::nullopt);
    EXPECT_TRUE(loaded.boxes.shown.empty());
    EXPECT_EQ(storedOf(loaded), storedOf(saved));
    EXPECT_EQ(loaded.parts().partCount(), 6);
    EXPECT_EQ(loaded.parts().partAt(3).outputDevice, 2);
    EXPECT_EQ(loaded.parts().targetPart(), 3);
    EXPECT_EQ(loaded.parts().targetDevice(), 2);
    EXPECT_EQ(loaded.session.devices().useCount(0), 5);
    EXPECT_EQ(loaded.session.devices().useCount(2), 1);
    EXPECT_EQ(loaded.session.devices().inputDevice(), 0);
    EXPECT_TRUE(loaded.backend.isInputOpen("In"));
    EXPECT_TRUE(loaded.backend.isOutputOpen("Out2"));
}

TEST(ArrangementLoading, FailedLoadTouchesNeitherTheArrangementNorAnyDevice) {
    TempDir dir;
    VirtualRig rig;
    buildRichArrangement(rig.session);
    ASSERT_EQ(rig.session.save(dir.file("good.trv")), std::nullopt);
    const Bytes good = testing::readBytes(dir.file("good.trv"));
    const StoredArrangement before = storedOf(rig);
    const std::size_t eventsBefore = rig.backend.events().size();

    Bytes trailing = good;
    trailing.push_back(0);
    const std::pair<std::string, Bytes> files[] = {
        {"half.trv",
         Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2))},
        {"empty.trv", {}},
        {"trailing.trv", trailing}};
    for (const auto& [name, bytes] : files) {
        testing::writeBytes(dir.file(name), bytes);
        const std::optional<FileError> error = rig.session.load(dir.file(name));
        ASSERT_TRUE(error.has_value()) << name;
        EXPECT_EQ(error->kind, FileErrorKind::Corrupt) << name;
    }
    const std::optional<FileError> missing = rig.session.load(dir.file("none.trv"));
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(missing->kind, FileErrorKind::CannotOpen);

    EXPECT_TRUE(rig.boxes.shown.empty());
    EXPECT_EQ(storedOf(rig), before);
    EXPECT_EQ(rig.backend.events().size(), eventsBefore) << "no device was touched";
}

TEST(ArrangementDevices, EveryMissingDeviceGetsItsOwnBoxInFileOrderAndIsKeptByName) {
    StoredArrangement a;
    a.inputDeviceName = "Gone keyboard";
    for (const char* name : {"Gone A", "Out1", "Gone B", "Gone A"}) {
        StoredPart p;
        p.outputDeviceName = name;
        a.parts.push_back(p);
    }
    a.targetPart = 0;
    a.targetDeviceName = "Gone target";
    a.targetChannel = 0;

    VirtualRig rig;
    MidiDeviceSet devices(rig.backend);
    devices.initialize(nullptr);
    ScriptedMessageBoxes boxes;
    const ResolvedArrangement r = resolveDevices(a, devices, boxes);
    EXPECT_EQ(boxes.texts(),
              (std::vector<std::string>{
                  "Gone keyboard\nが見つかりませんでした。", "Gone A\nが見つかりませんでした。",
                  "Gone B\nが見つかりませんでした。", "Gone A\nが見つかりませんでした。"}));
    for (const auto& box : boxes.shown) {
        EXPECT_EQ(box.caption, "デバイスオープンエラー");
        EXPECT_EQ(box.buttons, MessageButtons::Ok);
    }
    // Absent devices are appended after the present ones (In, In2; Out0..Out2), once per name.
    EXPECT_EQ(devices.deviceName(false, r.inputDevice), "Gone keyboard");
    EXPECT_EQ(r.inputDevice, 2);
    EXPECT_EQ(std::vector<int>({r.parts.partAt(0).outputDevice, r.parts.partAt(1).outputDevice,
                                r.parts.partAt(2).outputDevice, r.parts.partAt(3).outputDevice}),
              std::vector<int>({3, 1, 4, 3}));
    EXPECT_EQ(devices.deviceName(true, r.parts.targetDevice()), "Gone target");
    EXPECT_FALSE(devices.isPresent(true, 3));
    EXPECT_TRUE(devices.isPresent(true, 1));

    // Without a target, its name stands for nothing and is not kept.
    a.targetPart = -1;
    a.targetDeviceName = "";
    EXPECT_EQ(resolveDevices(a, devices, boxes).parts.targetDevice(), 0);
    EXPECT_EQ(devices.findOutputByName(""), -1);
}

TEST(ArrangementDevices, PartsOnAMissingDeviceStaySilentOnItAndAreSavedUnderItsName) {
    TempDir dir;
    StoredArrangement a;
    a.inputDeviceName = "In";
    for (int i = 0; i < 5; ++i) {
        StoredPart p;
        p.part.lowKey = static_cast<std::uint8_t>(i * 20);
        p.outputDeviceName = "Elsewhere";
        a.parts.push_back(p);
    }
    ASSERT_EQ(writeArrangementFile(dir.file("m.trv"), a), std::nullopt);
    VirtualRig rig;
    ASSERT_EQ(rig.session.load(dir.file("m.trv")), std::nullopt);
    EXPECT_EQ(rig.boxes.shown.size(), 5u);
    const int elsewhere = rig.session.devices().findOutputByName("Elsewhere");
    for (const Part& p : rig.parts().parts())
        EXPECT_EQ(p.outputDevice, elsewhere);
    EXPECT_EQ(rig.session.devices().useCount(elsewhere), 5);
    EXPECT_EQ(rig.session.devices().useCount(0), 0);
    EXPECT_FALSE(rig.backend.isOutputOpen("Out0"));
    for (const StoredPart& p : storedOf(rig).parts)
        EXPECT_EQ(p.outputDeviceName, "Elsewhere");
}

TEST(ArrangementDevices, SameNamedDevicesResolveToTheLowerIndex) {
    VirtualRig rig(0);
    rig.backend.addOutput("Other");
    rig.backend.addOutput("Twin");
    rig.backend.addOutput("Twin");
    rig.session.newArrangement();
    rig.session.split(0, 64);
    rig.session.setOutputDevice(0, 1);
    rig.session.setOutputDevice(1, 2);
    ScriptedMessageBoxes boxes;
    MidiDeviceSet devices(rig.backend);
    devices.initialize(nullptr);
    const ResolvedArrangement r = resolveDevices(storedOf(rig), devices, boxes);
    EXPECT_EQ(r.parts.partAt(0).outputDevice, 1);
    EXPECT_EQ(r.parts.partAt(1).outputDevice, 1);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(ArrangementDevices, NoInputIsSavedAsNullDeviceAndReadLikeAnyName) {
    TempDir dir;
    VirtualRig rig;
    rig.session.shutdown();
    EXPECT_EQ(storedOf(rig).inputDeviceName, "NULLDEVICE");
    ASSERT_EQ(rig.session.save(dir.file("n.trv")), std::nullopt);

    VirtualRig other;
    ASSERT_EQ(other.session.load(dir.file("n.trv")), std::nullopt);
    EXPECT_EQ(other.boxes.texts(),
              (std::vector<std::string>{"NULLDEVICE\nが見つかりませんでした。"}));
    EXPECT_EQ(other.session.devices().inputDevice(), 0);
    EXPECT_TRUE(other.backend.isInputOpen("In"));
}

}  // namespace
}  // namespace tarvelo
