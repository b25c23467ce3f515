#pragma once

#include <QObject>
#include <chrono>
#include <cstdint>

#include "midi/owner_mailbox.h"

class QSocketNotifier;
class QTimer;

namespace tarvelo::ui {

// Brings the device threads' hand-off onto the user-interface thread at the display's pace: the
// first note after a quiet spell wakes the window through the mailbox's descriptor and is shown
// at once; while notes keep coming, a timer drains them once per display frame and the MIDI
// thread makes no system call for them. A pass that finds no note re-arms the wake-up and stops
// the timer. Completions and the lost-server notice still wake the window at once.
// User-interface thread only; the mailbox and the visitor outlive the pump.
class MidiNotePump : public QObject {
    Q_OBJECT

  public:
    struct Stats {
        std::uint64_t drains = 0;
        std::uint64_t notes = 0;
        std::chrono::nanoseconds longestDrain{0};
        std::chrono::nanoseconds totalDrain{0};
    };

    // Named kObjectName.
    MidiNotePump(OwnerMailbox& mailbox, MailboxVisitor& visitor, QObject* parent = nullptr);
    ~MidiNotePump() override;

    static constexpr const char* kObjectName = "midiNotePump";

    // How often notes are drained while they flow: one display frame.
    static constexpr std::chrono::milliseconds kDisplayInterval{16};

    // Drains now, whether or not a wake-up is pending. Does nothing when called from inside a
    // drain (a message box opened by the visitor runs the event loop).
    void drain();

    const Stats& stats() const { return stats_; }

  signals:
    // After a drain that handed over at least one note: the end of a batch of notes, for a view
    // that paints the batch at once.
    void notesDrained();

  private:
    // The drain itself; woken says whether the mailbox's descriptor woke it.
    void drainWoken(WakeSignal::Woken woken);

    // Counts what passes on its way to the real visitor.
    class Counter final : public MailboxVisitor {
      public:
        Counter(MailboxVisitor& target, Stats& stats) : target_(target), stats_(stats) {}
        void onMidiNote(PackedMessage message) override {
            ++stats_.notes;
            target_.onMidiNote(message);
        }
        void onLongMessageDone(LongMessageToken token) override {
            target_.onLongMessageDone(token);
        }
        void onServerLost() override { target_.onServerLost(); }
        void onDevicesChanged() override { target_.onDevicesChanged(); }
        void onPanicRequested() override { target_.onPanicRequested(); }
        void onSongSwitched() override { target_.onSongSwitched(); }

      private:
        MailboxVisitor& target_;
        Stats& stats_;
    };

    OwnerMailbox& mailbox_;
    Stats stats_;
    Counter counter_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* poll_ = nullptr;  // only when the platform gave no wake descriptor
    QTimer* pace_ = nullptr;  // runs while notes flow
    bool draining_ = false;
    bool muted_ = false;  // the notifier was muted by a wake-up during a drain
};

}  // namespace tarvelo::ui
