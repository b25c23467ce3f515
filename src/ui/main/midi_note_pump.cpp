#include "ui/main/midi_note_pump.h"

#include <QSocketNotifier>
#include <QTimer>

namespace tarvelo::ui {

MidiNotePump::MidiNotePump(OwnerMailbox& mailbox, MailboxVisitor& visitor, QObject* parent)
    : QObject(parent), mailbox_(mailbox), counter_(visitor, stats_) {
    setObjectName(QString::fromLatin1(kObjectName));
    const int fd = mailbox_.wakeSignal().fd();
    if (fd >= 0) {
        notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this,
                [this] { drainWoken(WakeSignal::Woken::ByDescriptor); });
    } else {
        poll_ = new QTimer(this);
        connect(poll_, &QTimer::timeout, this, &MidiNotePump::drain);
        poll_->start(5);
    }
    pace_ = new QTimer(this);
    pace_->setTimerType(Qt::PreciseTimer);
    pace_->setInterval(kDisplayInterval);
    connect(pace_, &QTimer::timeout, this, [this] { drainWoken(WakeSignal::Woken::OnItsOwn); });
}

MidiNotePump::~MidiNotePump() = default;

void MidiNotePump::drain() {
    drainWoken(WakeSignal::Woken::ByDescriptor);
}

void MidiNotePump::drainWoken(WakeSignal::Woken woken) {
    // A visitor may open a message box, whose event loop must not drain again underneath it. A
    // wake-up that comes meanwhile stays pending: the notifier is muted until the outer drain
    // ends (muting it on every drain would cost two dispatcher calls a frame).
    if (draining_) {
        if (notifier_ && notifier_->isEnabled()) {
            notifier_->setEnabled(false);
            muted_ = true;
        }
        return;
    }
    draining_ = true;
    const auto start = std::chrono::steady_clock::now();
    const bool delivered = mailbox_.drainPaced(counter_, woken);
    bool notes = delivered;
    // Nothing came during the last frame: let the next note wake the window again, unless some
    // slipped in before the wake-up was armed.
    if (!notes)
        notes = mailbox_.armNoteWake();
    if (notes && !pace_->isActive()) {
        pace_->start();
    } else if (!notes) {
        pace_->stop();
    }
    const auto took = std::chrono::steady_clock::now() - start;
    draining_ = false;
    if (muted_) {
        muted_ = false;
        notifier_->setEnabled(true);
    }
    ++stats_.drains;
    stats_.totalDrain += took;
    if (took > stats_.longestDrain)
        stats_.longestDrain = took;
    if (delivered)
        emit notesDrained();
}

}  // namespace tarvelo::ui
