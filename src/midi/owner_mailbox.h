#pragma once

#include <atomic>
#include <cstdint>

#include "midi/backend.h"
#include "midi/packed_message.h"
#include "midi/spsc_ring.h"
#include "midi/wake_signal.h"

namespace tarvelo {

// What the user-interface thread learns from the device threads, in arrival order per kind.
class MailboxVisitor {
  public:
    virtual ~MailboxVisitor() = default;
    // A note off or note on as received, untransposed (drives the keyboard picture).
    virtual void onMidiNote(PackedMessage message) = 0;
    // A long message has been played; its bytes may be freed.
    virtual void onLongMessageDone(LongMessageToken token) = 0;
    // The backend's server went away; reported once per loss.
    virtual void onServerLost() = 0;
    // The system's device lists changed since the last drain (one call for any number of
    // changes); the owner lists them again.
    virtual void onDevicesChanged() {}
    // The input asked for the panic action (its panic controller was played) since the last
    // drain; one call for any number of asks.
    virtual void onPanicRequested() {}
    // The input switched songs (a program change, a footswitch) since the last drain; one call
    // for any number of switches: the song played now is what counts.
    virtual void onSongSwitched() {}
};

// Whether an owner shows the notes played (the window's keyboard picture) or not (the headless
// runner, which then pays nothing for them on the MIDI thread).
enum class NoteDisplay { Off, On };

// The device layer's hand-off to the window that owns it: the posted note messages, the
// completion notices of long messages, the lost-server notice and the device-change notice.
// Producers never block or allocate; the owner drains everything on its own thread when
// wakeSignal() fires.
//
// Completions and the other notices wake the owner at once. Notes wake it only on the edge from
// "armed" to "disarmed": the first note after the owner armed the note wake-up writes to the
// descriptor, later ones only queue. drain() re-arms at once; an owner that paints at its own pace
// drains with drainPaced() on a timer while notes flow and re-arms with armNoteWake() once a pass
// finds none, so a steady stream of notes costs the MIDI thread no system call at all.
class OwnerMailbox final : public LongMessageListener,
                           public ServerLostListener,
                           public DeviceChangeListener {
  public:
    static constexpr std::size_t kNoteCapacity = 4096;
    static constexpr std::size_t kCompletionCapacity = 1024;

    explicit OwnerMailbox(NoteDisplay display = NoteDisplay::On)
        : showsNotes_(display == NoteDisplay::On) {}

    // Thread: the MIDI input thread. When the ring is full the display loses this note (counted);
    // the MIDI itself is unaffected. Does nothing for an owner without a note display.
    void postNote(PackedMessage message) noexcept {
        if (!showsNotes_)
            return;
        if (!notes_.push(message)) {
            droppedNotes_.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        // Acq_rel read-modify-write, paired with the one in armNoteWake(): whichever comes second
        // in the flag's order sees the other side's work (this note, or the re-armed flag).
        if (noteWakeArmed_.exchange(false, std::memory_order_acq_rel))
            wake_.notify();
    }

    // Thread: the backend's completion thread.
    void longMessageDone(LongMessageToken token) noexcept override {
        // The sender has at most one long message in flight per transmission, so the ring
        // cannot fill in practice; a loss is counted all the same.
        if (!completions_.push(token)) {
            droppedCompletions_.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        wake_.notify();
    }

    // Thread: any.
    void serverLost() noexcept override {
        serverLost_.store(true, std::memory_order_release);
        wake_.notify();
    }

    // Thread: the MIDI input thread. Asks the owner for the panic action; asks that arrive
    // before the next drain are delivered as one. Never blocks; one system call (the wake-up).
    void requestPanic() noexcept {
        if (!panicRequested_.exchange(true, std::memory_order_acq_rel))
            wake_.notify();
    }

    // Thread: the MIDI input thread. The input switched songs; switches that come before the
    // next drain are delivered as one. Never blocks; one system call (the wake-up).
    void songSwitched() noexcept {
        if (!songSwitched_.exchange(true, std::memory_order_acq_rel))
            wake_.notify();
    }

    // Thread: any. Notices that arrive before the next drain are delivered as one.
    void devicesChanged() noexcept override {
        devicesChanged_.store(true, std::memory_order_release);
        wake_.notify();
    }

    // User-interface thread: hands everything queued to the visitor and re-arms the note
    // wake-up. Completions come after notes, so a window repaints before it sends more; a lost
    // server is heard of before the device lists are taken again.
    void drain(MailboxVisitor& visitor) {
        noteWakeArmed_.exchange(true, std::memory_order_acq_rel);
        drainPaced(visitor);
    }

    // User-interface thread: hands everything queued to the visitor, leaving the note wake-up as
    // it is. True when there was at least one note. A pass on the owner's own timer says so
    // (WakeSignal::Woken::OnItsOwn) and then costs no system call while notes flow.
    bool drainPaced(MailboxVisitor& visitor,
                    WakeSignal::Woken woken = WakeSignal::Woken::ByDescriptor) {
        wake_.clear(woken);
        bool anyNote = false;
        PackedMessage note = 0;
        while (notes_.pop(note)) {
            anyNote = true;
            visitor.onMidiNote(note);
        }
        LongMessageToken token = 0;
        while (completions_.pop(token))
            visitor.onLongMessageDone(token);
        if (serverLost_.exchange(false, std::memory_order_acq_rel))
            visitor.onServerLost();
        if (devicesChanged_.exchange(false, std::memory_order_acq_rel))
            visitor.onDevicesChanged();
        if (songSwitched_.exchange(false, std::memory_order_acq_rel))
            visitor.onSongSwitched();
        if (panicRequested_.exchange(false, std::memory_order_acq_rel))
            visitor.onPanicRequested();
        return anyNote;
    }

    // User-interface thread: lets the next note wake the owner again. True when notes arrived
    // meanwhile: they did not wake it, so the owner drains again rather than wait.
    bool armNoteWake() noexcept {
        noteWakeArmed_.exchange(true, std::memory_order_acq_rel);
        return !notes_.empty();
    }

    const WakeSignal& wakeSignal() const { return wake_; }

    std::uint64_t droppedNotes() const { return droppedNotes_.load(std::memory_order_relaxed); }
    std::uint64_t droppedCompletions() const {
        return droppedCompletions_.load(std::memory_order_relaxed);
    }

  private:
    const bool showsNotes_;
    SpscRing<PackedMessage, kNoteCapacity> notes_;
    // Set by the owner when it wants the next note to wake it; taken by that note.
    std::atomic<bool> noteWakeArmed_{true};
    SpscRing<LongMessageToken, kCompletionCapacity> completions_;
    std::atomic<bool> serverLost_{false};
    std::atomic<bool> devicesChanged_{false};
    std::atomic<bool> panicRequested_{false};
    std::atomic<bool> songSwitched_{false};
    std::atomic<std::uint64_t> droppedNotes_{0};
    std::atomic<std::uint64_t> droppedCompletions_{0};
    WakeSignal wake_;
};

}  // namespace tarvelo
