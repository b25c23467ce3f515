#include "midi/initial_message_sender.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <functional>

#include "support/scripted_message_boxes.h"
#include "support/virtual_rig.h"

namespace tarvelo {
namespace {

using testing::ScriptedMessageBoxes;
using testing::VirtualRig;

InitialMessage shortMessage(std::int32_t type, std::int32_t status, std::int32_t d1,
                            std::int32_t d2) {
    return InitialMessage{type, status, d1, d2, {}, 0};
}

InitialMessage sysex(std::vector<std::uint8_t> bytes) {
    const auto n = static_cast<std::int32_t>(bytes.size());
    return InitialMessage{5, 0xF0, -1, -1, std::move(bytes), n};
}

std::vector<std::uint8_t> sysexBytes(std::uint8_t tag, std::size_t length) {
    std::vector<std::uint8_t> b(length, tag);
    b.front() = 0xF0;
    b.back() = 0xF7;
    return b;
}

// Message boxes whose Ok box can run code, as a nested event loop of a real box would.
struct HookedBoxes : ScriptedMessageBoxes {
    std::function<void()> onShow;
    MessageAnswer show(std::string_view text, std::string_view caption, MessageButtons buttons,
                       MessageIcon icon) override {
        const MessageAnswer a = ScriptedMessageBoxes::show(text, caption, buttons, icon);
        if (onShow) {
            auto hook = std::move(onShow);
            onShow = nullptr;
            hook();
        }
        return a;
    }
};

// The main window's side of the sender: posted notices wait in a queue until the event loop
// (settle) hands them back, completions arrive through the owner mailbox.
struct SenderRig : InitialMessageHost, MailboxVisitor {
    SenderRig() { rig.backend.clearRecords(); }

    void postInitSent(int part) override {
        posted.push_back(part);
        notices.push_back(part);
    }
    MessageBoxes& messageBoxes() override { return boxes; }
    void reportUnsendable(int part, int index, PackedMessage message,
                          ShortMessageFault fault) override {
        unsendable.push_back({part, index, message, fault});
    }
    void onMidiNote(PackedMessage) override {}
    void onLongMessageDone(LongMessageToken token) override { sender.onLongMessageDone(token); }
    void onServerLost() override {}

    // Runs the event loop until nothing is left to deliver.
    void settle() {
        for (;;) {
            rig.session.mailbox().drain(*this);
            if (posted.empty())
                return;
            const int part = posted.front();
            posted.pop_front();
            sender.onInitSent(part);
        }
    }

    // Splits the default Part into `count` Parts of equal width.
    void makeParts(int count) {
        for (int i = 1; i < count; ++i)
            rig.session.split(i - 1, i * 128 / count);
        rig.backend.clearRecords();
    }

    // Moves Part index to another device and channel, as the property panel does.
    void place(int index, int device, std::uint8_t channel) {
        rig.session.setOutputDevice(index, device);
        rig.session.setChannel(index, channel);
        rig.backend.clearRecords();
    }

    InitialMessageList& list(int index) { return rig.session.messageList(index); }

    // What one output received, one readable entry per short or long message.
    std::vector<std::string> traffic(int output) const {
        std::vector<std::string> out;
        for (const RecordedEvent& e : rig.backend.events("Out" + std::to_string(output))) {
            char buf[32];
            if (e.kind == RecordedEvent::Kind::Short) {
                std::snprintf(buf, sizeof buf, "short %06X", e.message);
                out.emplace_back(buf);
            } else if (e.kind == RecordedEvent::Kind::Long) {
                const auto bytes = rig.backend.longMessage(e.longIndex);
                std::snprintf(buf, sizeof buf, "long %02X*%zu", bytes.size() > 1 ? bytes[1] : 0,
                              bytes.size());
                out.emplace_back(buf);
            }
        }
        return out;
    }

    VirtualRig rig;
    HookedBoxes boxes;
    std::deque<int> posted;
    std::vector<int> notices;
    struct Unsendable {
        int part;
        int index;
        PackedMessage message;
        ShortMessageFault fault;
        bool operator==(const Unsendable&) const = default;
    };
    std::vector<Unsendable> unsendable;
    InitialMessageSender sender{*this, rig.parts(), rig.session.devices()};
};

using Traffic = std::vector<std::string>;

TEST(InitialMessageSending, WorkedExampleSendsRunsAroundTheExclusiveMessage) {
    SenderRig s;
    s.makeParts(3);
    s.place(2, 1, 3);
    s.list(2).append(shortMessage(1, 0xB0, 0x00, 0x00));
    s.list(2).append(sysex(sysexBytes(0x41, 11)));
    s.list(2).append(shortMessage(1, 0xC0, 0x05, -1));
    s.rig.backend.holdCompletions(true);

    EXPECT_FALSE(s.sender.sendInitialMessages(2));
    EXPECT_EQ(s.traffic(1), (Traffic{"short 0000B3", "long 41*11"}));
    EXPECT_TRUE(s.notices.empty());

    s.rig.backend.releaseCompletions();
    s.settle();
    // The program change leaves with 0xFF where it has no second data byte.
    EXPECT_EQ(s.traffic(1), (Traffic{"short 0000B3", "long 41*11", "short FF05C3"}));
    EXPECT_EQ(s.notices, (std::vector<int>{2}));
    EXPECT_FALSE(s.sender.busy());
    EXPECT_TRUE(s.traffic(0).empty());
}

TEST(InitialMessageSending, ShortOnlyListFinishesInOneCall) {
    SenderRig s;
    s.list(0).append(shortMessage(0, 0xB0, 7, 100));
    s.list(0).append(shortMessage(6, 0xF8, -1, -1));
    EXPECT_TRUE(s.sender.sendInitialMessages(0));
    EXPECT_EQ(s.traffic(0), (Traffic{"short 6407B0", "short FFFFF8"}));
    EXPECT_EQ(s.notices, (std::vector<int>{0}));
}

TEST(InitialMessageSending, EmptyListReportsAtOnce) {
    SenderRig s;
    EXPECT_TRUE(s.sender.sendInitialMessages(0));
    EXPECT_EQ(s.notices, (std::vector<int>{0}));
    EXPECT_TRUE(s.traffic(0).empty());
}

TEST(InitialMessageSending, ChannelIsAddedToChannelKindsOnly) {
    SenderRig s;
    s.place(0, 0, 15);
    s.list(0).append(shortMessage(0, 0x90, 60, 100));
    s.list(0).append(shortMessage(1, 0xB0, 7, 90));
    s.list(0).append(shortMessage(7, 0xB2, 7, 90));  // a complete status is sent as it stands
    s.sender.sendInitialMessages(0);
    EXPECT_EQ(s.traffic(0), (Traffic{"short 643C9F", "short 5A07BF", "short 5A07B2"}));
}

TEST(InitialMessageSending, MessagesThatAreNoValidMidiAreReportedNotSent) {
    using Fault = ShortMessageFault;
    SenderRig s;
    s.makeParts(2);
    s.place(1, 0, 3);
    InitialMessageList& list = s.list(1);
    list.append(shortMessage(0, 0x90, 60, -1));    // note on without velocity
    list.append(shortMessage(0, 0xB0, 300, 1));    // low 8 bits of 300 are 0x2C
    list.append(shortMessage(0, 0xB0, 7, 0x80));   // a data byte read as a status
    list.append(shortMessage(1, 0xC0, 0xFF, -1));  // a program change needs its data byte
    list.append(shortMessage(6, 0x70, 1, 2));      // no status byte
    list.append(shortMessage(7, 0xF0, 1, 2));      // exclusive start as a short message
    list.append(shortMessage(0, 0xFE, 1, 2));      // FEh on channel 3 wraps round to 01h
    list.append(shortMessage(6, 0xC0, 5, 0x80));   // the unused byte does not count
    EXPECT_TRUE(s.sender.sendInitialMessages(1));
    EXPECT_EQ(s.traffic(0), (Traffic{"short 012CB3", "short 8005C0"}));
    using U = SenderRig::Unsendable;
    EXPECT_EQ(s.unsendable, (std::vector<U>{{1, 0, 0xFF3C93, Fault::DataByteHigh},
                                            {1, 2, 0x8007B3, Fault::DataByteHigh},
                                            {1, 3, 0xFFFFC3, Fault::DataByteHigh},
                                            {1, 4, 0x020170, Fault::NotAStatus},
                                            {1, 5, 0x0201F0, Fault::ExclusiveStatus},
                                            {1, 6, 0x020101, Fault::NotAStatus}}));
}

TEST(InitialMessageSending, LastExclusiveMessageReportsOnlyFromItsCompletion) {
    SenderRig s;
    s.list(0).append(shortMessage(0, 0xB0, 0, 0));
    s.list(0).append(sysex(sysexBytes(0x10, 6)));
    s.rig.backend.holdCompletions(true);
    EXPECT_FALSE(s.sender.sendInitialMessages(0));
    s.settle();
    EXPECT_TRUE(s.notices.empty());
    EXPECT_TRUE(s.sender.busy());
    s.rig.backend.releaseCompletions();
    s.settle();
    EXPECT_EQ(s.notices, (std::vector<int>{0}));
    EXPECT_FALSE(s.sender.busy());
}

TEST(InitialMessageSending, BackToBackExclusiveMessagesWaitForEachOther) {
    SenderRig s;
    s.list(0).append(sysex(sysexBytes(0x01, 5)));
    s.list(0).append(sysex(sysexBytes(0x02, 7)));
    s.rig.backend.holdCompletions(true);
    s.sender.sendInitialMessages(0);
    s.settle();
    EXPECT_EQ(s.traffic(0), (Traffic{"long 01*5"}));
    s.rig.backend.releaseCompletions();
    s.settle();
    EXPECT_EQ(s.traffic(0), (Traffic{"long 01*5", "long 02*7"}));
    EXPECT_TRUE(s.notices.empty());
    s.rig.backend.releaseCompletions();
    s.settle();
    EXPECT_EQ(s.notices, (std::vector<int>{0}));
}

TEST(InitialMessageSending, UnknownTypesAreReportedAndTheListGoesOn) {
    SenderRig s;
    s.list(0).append(shortMessage(2, 0xB0, 1, 2));
    s.list(0).append(shortMessage(0, 0xB0, 7, 1));
    s.list(0).append(shortMessage(3, 0xB0, 1, 2));
    s.list(0).append(shortMessage(4, 0xB0, 1, 2));
    s.list(0).append(shortMessage(0, 0xB0, 7, 2));
    EXPECT_TRUE(s.sender.sendInitialMessages(0));
    EXPECT_EQ(s.traffic(0), (Traffic{"short 0107B0", "short 0207B0"}));
    ASSERT_EQ(s.boxes.shown.size(), 3u);
    for (const auto& box : s.boxes.shown) {
        EXPECT_EQ(box.text, "Unkown Message");
        EXPECT_EQ(box.caption, "");
        EXPECT_EQ(box.buttons, MessageButtons::Ok);
    }
}

TEST(InitialMessageSending, ExclusiveMessageWithoutBytesOrDeviceDoesNotStallTheList) {
    SenderRig s;
    s.list(0).append(sysex({}));
    s.list(0).append(shortMessage(0, 0xC0, 1, -1));
    EXPECT_TRUE(s.sender.sendInitialMessages(0));
    EXPECT_EQ(s.traffic(0), (Traffic{"short FF01C0"}));

    // A Part on a device that is not open: nothing is sent and nothing waits.
    s.rig.backend.setRefuseOpen("Out2", true);
    s.place(0, 2, 0);
    s.list(0).clear();
    s.list(0).append(sysex(sysexBytes(0x01, 4)));
    EXPECT_TRUE(s.sender.sendInitialMessages(0));
    EXPECT_EQ(s.notices, (std::vector<int>{0, 0}));
    EXPECT_FALSE(s.sender.busy());
}

TEST(InitialMessageSending, PartOutsideTheArrangementThrowsAndSendsNothing) {
    SenderRig s;
    EXPECT_THROW(s.sender.sendInitialMessages(1), InvalidArgumentError);
    EXPECT_THROW(s.sender.sendInitialMessages(-1), InvalidArgumentError);
    EXPECT_FALSE(s.sender.busy());
    EXPECT_TRUE(s.notices.empty());
}

TEST(InitialMessageSending, StrangeCompletionsAreIgnored) {
    SenderRig s;
    s.list(0).append(sysex(sysexBytes(0x01, 4)));
    s.list(0).append(shortMessage(0, 0xB0, 1, 1));
    s.rig.backend.holdCompletions(true);
    s.sender.sendInitialMessages(0);
    const auto token = s.sender.tokenInFlight();
    ASSERT_TRUE(token.has_value());
    s.sender.onLongMessageDone(*token + 1000);
    EXPECT_EQ(s.traffic(0), (Traffic{"long 01*4"}));
    s.rig.backend.releaseCompletions();
    s.settle();
    // A completion delivered twice does not send the rest twice.
    s.sender.onLongMessageDone(*token);
    EXPECT_EQ(s.traffic(0), (Traffic{"long 01*4", "short 0101B0"}));
}

TEST(InitialMessageSendingAll, PartsAreSentInOrderEachAfterThePreviousNotice) {
    SenderRig s;
    s.makeParts(3);
    s.place(0, 0, 0);
    s.place(1, 1, 1);
    s.place(2, 2, 2);
    for (int i = 0; i < 3; ++i) {
        s.list(i).append(sysex(sysexBytes(static_cast<std::uint8_t>(0x10 + i), 4)));
        s.list(i).append(shortMessage(0, 0xB0, 7, i));
    }
    s.sender.sendAllInitialMessages();
    EXPECT_TRUE(s.sender.sending());
    s.settle();

    std::vector<int> order;
    for (const RecordedEvent& e : s.rig.backend.events()) {
        if (e.kind == RecordedEvent::Kind::Long || e.kind == RecordedEvent::Kind::Short)
            order.push_back(e.device);
    }
    EXPECT_EQ(order, (std::vector<int>{0, 0, 1, 1, 2, 2}));
    EXPECT_EQ(s.notices, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(s.sender.sending());
}

TEST(InitialMessageSendingAll, NextPartWaitsForTheNoticeToBeDelivered) {
    SenderRig s;
    s.makeParts(2);
    s.list(0).append(shortMessage(0, 0xB0, 1, 0));
    s.list(1).append(shortMessage(0, 0xB0, 2, 0));
    s.sender.sendAllInitialMessages();
    // Part 0 is done, its notice posted but not yet delivered: Part 1 has not started.
    EXPECT_EQ(s.traffic(0), (Traffic{"short 0001B0"}));
    s.settle();
    EXPECT_EQ(s.traffic(0), (Traffic{"short 0001B0", "short 0002B1"}));
    EXPECT_FALSE(s.sender.sending());
}

TEST(InitialMessageSendingAll, OnePartSendsOnlyItsList) {
    SenderRig s;
    s.list(0).append(shortMessage(0, 0xB0, 1, 0));
    s.sender.sendAllInitialMessages();
    s.settle();
    EXPECT_EQ(s.notices, (std::vector<int>{0}));
    EXPECT_FALSE(s.sender.sending());
}

TEST(InitialMessageOverlap, RequestDuringALongMessageWaitsItsTurn) {
    SenderRig s;
    s.makeParts(2);
    s.place(1, 1, 0);
    s.list(0).append(sysex(sysexBytes(0x01, 4)));
    s.list(0).append(shortMessage(0, 0xB0, 1, 0));
    s.list(1).append(shortMessage(0, 0xB0, 2, 0));
    s.rig.backend.holdCompletions(true);
    EXPECT_FALSE(s.sender.sendInitialMessages(0));
    EXPECT_FALSE(s.sender.sendInitialMessages(1));  // queued, not mixed into Part 0's list
    EXPECT_TRUE(s.traffic(1).empty());
    s.rig.backend.releaseCompletions();
    s.settle();
    EXPECT_EQ(s.traffic(0), (Traffic{"long 01*4", "short 0001B0"}));
    EXPECT_EQ(s.traffic(1), (Traffic{"short 0002B0"}));
    EXPECT_EQ(s.notices, (std::vector<int>{0, 1}));
}

TEST(InitialMessageOverlap, SameListRequestedTwiceIsSentTwiceInOrder) {
    SenderRig s;
    s.list(0).append(sysex(sysexBytes(0x01, 4)));
    s.list(0).append(shortMessage(0, 0xB0, 1, 0));
    s.rig.backend.holdCompletions(true);
    s.sender.sendInitialMessages(0);
    s.sender.sendInitialMessages(0);
    while (s.rig.backend.heldCompletionCount() > 0) {
        s.rig.backend.releaseCompletions();
        s.settle();
    }
    EXPECT_EQ(s.traffic(0), (Traffic{"long 01*4", "short 0001B0", "long 01*4", "short 0001B0"}));
    EXPECT_EQ(s.notices, (std::vector<int>{0, 0}));
}

TEST(InitialMessageOverlap, EditorRequestDuringSendAllNeitherSkipsNorRepeatsTheWalk) {
    SenderRig s;
    s.makeParts(3);
    for (int i = 0; i < 3; ++i)
        s.list(i).append(shortMessage(0, 0xB0, i, 0));
    s.list(0).append(sysex(sysexBytes(0x01, 4)));
    s.rig.backend.holdCompletions(true);
    s.sender.sendAllInitialMessages();
    s.sender.sendInitialMessages(1);  // the editor closes for Part 1 during the walk
    s.rig.backend.releaseCompletions();
    s.settle();
    // Part 0, then the editor's Part 1, then the walk's Part 1 and Part 2; the editor's notice
    // for Part 1 does not start Part 2 a second time.
    EXPECT_EQ(s.notices, (std::vector<int>{0, 1, 1, 2}));
    EXPECT_FALSE(s.sender.sending());
}

TEST(InitialMessageOverlap, StartingAnotherWalkAbandonsTheFirst) {
    SenderRig s;
    s.makeParts(3);
    s.sender.sendAllInitialMessages();  // Part 0's notice is posted, not yet delivered
    s.sender.sendAllInitialMessages();
    s.settle();
    EXPECT_EQ(s.notices, (std::vector<int>{0, 0, 1, 2}));
}

TEST(InitialMessageOverlap, RequestMadeInsideAMessageBoxIsServedAfterTheCurrentList) {
    SenderRig s;
    s.makeParts(2);
    s.list(0).append(shortMessage(9, 0x00, 0, 0));  // shows a box
    s.list(0).append(shortMessage(0, 0xB0, 1, 0));
    s.list(1).append(shortMessage(0, 0xB0, 2, 0));
    bool innerResult = true;
    s.boxes.onShow = [&] { innerResult = s.sender.sendInitialMessages(1); };
    EXPECT_TRUE(s.sender.sendInitialMessages(0));
    EXPECT_FALSE(innerResult);
    EXPECT_EQ(s.traffic(0), (Traffic{"short 0001B0", "short 0002B1"}));
    EXPECT_EQ(s.notices, (std::vector<int>{0, 1}));
}

TEST(InitialMessageLifetime, EditingTheListDuringALongMessageChangesNothingBeingSent) {
    SenderRig s;
    s.list(0).append(sysex(sysexBytes(0x01, 4)));
    s.list(0).append(shortMessage(0, 0xB0, 1, 0));
    s.rig.backend.holdCompletions(true);
    s.sender.sendInitialMessages(0);
    s.list(0).clear();
    s.list(0).append(shortMessage(0, 0xB0, 99, 0));
    s.rig.backend.releaseCompletions();
    s.settle();
    EXPECT_EQ(s.traffic(0), (Traffic{"long 01*4", "short 0001B0"}));
}

TEST(InitialMessageLifetime, JoinDuringALongMessageFinishesTheListAsRequested) {
    SenderRig s;
    s.makeParts(3);
    s.place(2, 1, 5);
    s.list(2).append(sysex(sysexBytes(0x01, 4)));
    s.list(2).append(shortMessage(0, 0xB0, 1, 0));
    s.rig.backend.holdCompletions(true);
    s.sender.sendInitialMessages(2);
    s.rig.session.join(0, 2, 0);  // Part 2 and its list are gone
    s.rig.backend.releaseCompletions();
    s.settle();
    // Device 1 closed with the join (silenced, its buffer handed back); the rest of the list has
    // nowhere to go.
    const Traffic out = s.traffic(1);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.front(), "long 01*4");
    EXPECT_EQ(std::count(out.begin(), out.end(), "short 0001B5"), 0);
    EXPECT_EQ(s.notices, (std::vector<int>{2}));
    EXPECT_FALSE(s.sender.busy());
}

TEST(InitialMessageLifetime, NewDuringALongMessageCompletesWithoutTouchingTheOldLists) {
    SenderRig s;
    s.makeParts(2);
    s.list(1).append(sysex(sysexBytes(0x01, 4)));
    s.list(1).append(shortMessage(0, 0xB0, 1, 0));
    s.rig.backend.holdCompletions(true);
    s.sender.sendAllInitialMessages();
    s.settle();
    ASSERT_TRUE(s.sender.tokenInFlight().has_value());
    // New: every device closes (handing back the held buffer), the lists are destroyed.
    s.rig.session.newArrangement();
    s.rig.backend.holdCompletions(false);
    s.settle();
    EXPECT_FALSE(s.sender.busy());
    EXPECT_FALSE(s.sender.sending());  // Part 2 does not exist in the new arrangement
    EXPECT_EQ(s.notices, (std::vector<int>{0, 1}));
}

// A device that reads a long message's bytes only when it completes, as a driver may.
class LateReadingBackend final : public MidiBackend {
  public:
    struct Pending {
        std::span<const std::uint8_t> bytes;
        LongMessageToken token;
        LongMessageListener* listener;
    };

    std::string_view apiName() const override { return "late"; }
    std::vector<std::string> inputNames() override { return {}; }
    std::vector<std::string> outputNames() override { return {"Late"}; }
    std::unique_ptr<MidiInputPort> openInput(const std::string&, InputHandler&) override {
        return nullptr;
    }
    std::unique_ptr<MidiOutputPort> openOutput(const std::string&,
                                               LongMessageListener& listener) override {
        return std::make_unique<Port>(*this, listener);
    }

    // Reads every pending message now and reports it done.
    void completeAll() {
        for (const Pending& p : pending) {
            played.emplace_back(p.bytes.begin(), p.bytes.end());
            p.listener->longMessageDone(p.token);
        }
        pending.clear();
    }

    std::vector<Pending> pending;
    std::vector<std::vector<std::uint8_t>> played;

  private:
    class Port final : public MidiOutputPort {
      public:
        Port(LateReadingBackend& b, LongMessageListener& l) : backend_(b), listener_(l) {}
        SendResult sendFromInput(PackedMessage) noexcept override { return SendResult::Written; }
        void sendShort(PackedMessage) override {}
        void sendLong(std::span<const std::uint8_t> bytes, LongMessageToken token) override {
            backend_.pending.push_back(Pending{bytes, token, &listener_});
        }

      private:
        LateReadingBackend& backend_;
        LongMessageListener& listener_;
    };
};

TEST(InitialMessageLifetime, ExclusiveBytesStayAliveUntilTheDeviceHasReadThem) {
    struct Host : SessionHost {
        LateReadingBackend backend;
        ScriptedMessageBoxes boxes;
        std::vector<int> notices;
        LiveSession session{backend, *this};
        void noteReceived(PackedMessage) override {}
        void serverLost() override {}
        void serverBack() override {}
        void devicesChanged(const DeviceListChanges&) override {}
        void postInitSent(int part) override { notices.push_back(part); }
        MessageBoxes& messageBoxes() override { return boxes; }
    } h;
    h.session.newArrangement();
    const auto bytes = sysexBytes(0x33, 64);
    h.session.messageList(0).append(sysex(bytes));
    h.session.sendInitialMessages(0);
    // The list is replaced, then the whole arrangement: the buffer handed out must survive.
    h.session.messageList(0).replace(0, sysex(sysexBytes(0x44, 64)));
    h.session.split(0, 64);
    h.session.join(0, 1, 1);
    h.backend.completeAll();
    h.session.drain();
    ASSERT_EQ(h.backend.played.size(), 1u);
    EXPECT_EQ(h.backend.played[0], bytes);
    EXPECT_EQ(h.notices, (std::vector<int>{0}));
}

}  // namespace
}  // namespace tarvelo
