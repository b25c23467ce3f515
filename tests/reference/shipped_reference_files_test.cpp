#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "reference/cp932.h"
#include "reference/midi_reference.h"

namespace tarvelo {
namespace {

const std::filesystem::path kDataDir = std::filesystem::path(TARVELO_SOURCE_DIR) / "data";

TEST(ShippedMessageReference, LoadsWithANameForEveryEntry) {
    MidiReference reference;
    ASSERT_TRUE(reference.LoadMidiMessageReference(kDataDir / "midi_msg.mdr"));
    ASSERT_GT(reference.messageCount(), 0);
    std::set<std::string> names;
    for (int i = 0; i < reference.messageCount(); ++i) {
        const MessageReferenceEntry& entry = reference.message(i);
        EXPECT_FALSE(entry.name.empty()) << "entry " << i;
        EXPECT_TRUE(isValidUtf8(entry.name)) << "entry " << i;
        EXPECT_TRUE(names.insert(entry.name).second) << "duplicate name " << entry.name;
        EXPECT_GE(entry.status, 0x80) << entry.name;
        EXPECT_LE(entry.status, 0xFF) << entry.name;
        for (const int data : {entry.data1, entry.data2}) {
            EXPECT_GE(data, MidiReference::kNoDataByte) << entry.name;
            EXPECT_LE(data, 0x7F) << entry.name;
        }
        if (entry.status < 0xF0) {
            EXPECT_EQ(entry.status & 0x0F, 0) << entry.name << " must leave the channel open";
        }
        // Every entry is listed under its own name, so the list never shows another's.
        EXPECT_EQ(reference.GetMessageName(entry.type, entry.status, entry.data1), entry.name);
    }
}

TEST(ShippedMessageReference, OffersGenericControlChangeAndSystemExclusive) {
    MidiReference reference;
    ASSERT_TRUE(reference.LoadMidiMessageReference(kDataDir / "midi_msg.mdr"));
    bool controlChange = false;
    bool systemExclusive = false;
    for (int i = 0; i < reference.messageCount(); ++i) {
        const MessageReferenceEntry& entry = reference.message(i);
        controlChange = controlChange || (entry.type == 0 && entry.status == 0xB0);
        systemExclusive = systemExclusive || (entry.type == 5 && entry.status == 0xF0);
    }
    EXPECT_TRUE(controlChange);
    EXPECT_TRUE(systemExclusive);
}

TEST(ShippedControllerReference, NamesAll128Controllers) {
    MidiReference reference;
    ASSERT_TRUE(reference.LoadControlChangeReference(kDataDir / "cc.mdr"));
    ASSERT_EQ(reference.controllerCount(), 128);
    for (int n = 0; n < 128; ++n) {
        const ControllerReferenceEntry& entry = reference.controller(n);
        EXPECT_FALSE(entry.name.empty()) << "controller " << n;
        EXPECT_TRUE(isValidUtf8(entry.name)) << "controller " << n;
        EXPECT_EQ(entry.extraNumber1, n) << entry.name;
    }
}

}  // namespace
}  // namespace tarvelo
