#include "session/headless_runner.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>

namespace tarvelo {

HeadlessRunner::HeadlessRunner(MidiBackend& backend, std::ostream& diagnostics)
    : diagnostics_(diagnostics), session_(backend, *this, NoteDisplay::Off) {
    session_.listDevices();
    if (AudioHost* audio = backend.audioHost())
        audioRate_ = audio->sampleRate();
}

HeadlessRunner::~HeadlessRunner() {
    shutdown();
}

std::optional<FileError> HeadlessRunner::load(const std::string& path) {
    return session_.load(path);
}

std::vector<SetListProblem> HeadlessRunner::loadSetList(const std::string& path, int firstSong) {
    return session_.loadSetList(path, firstSong);
}

void HeadlessRunner::songChanged(int index, std::chrono::microseconds took) {
    const SetListSong song = session_.songInfo(index);
    char tookText[32];
    std::snprintf(tookText, sizeof tookText, "%.2f", static_cast<double>(took.count()) / 1000.0);
    diagnostics_ << "tarvelo: song " << index + 1 << " of " << session_.songCount() << ": "
                 << song.name << " (switched in " << tookText << " ms)" << std::endl;
}

bool HeadlessRunner::selectInput(std::string_view name) {
    const int index = session_.devices().findInputByName(name);
    if (index < 0)
        return false;
    if (session_.devices().inputDevice() != index)
        session_.setInputDevice(index);
    return true;
}

void HeadlessRunner::start() {
    session_.sendAllInitialMessages();
}

void HeadlessRunner::deliverPosted() {
    // A notice may start the next list, which may post again: delivered one by one, never from
    // inside the sender.
    while (!posted_.empty()) {
        const int part = posted_.front();
        posted_.pop_front();
        session_.initialMessagesSent(part);
    }
}

int HeadlessRunner::followDevicesWhenDue() {
    const auto interval = session_.relistInterval();
    if (interval <= std::chrono::milliseconds::zero())
        return -1;
    auto now = std::chrono::steady_clock::now();
    if (now - lastListing_ >= interval) {
        session_.followDevices();
        now = std::chrono::steady_clock::now();
        lastListing_ = now;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(lastListing_ + interval - now);
    return static_cast<int>(std::max<std::int64_t>(left.count(), 0)) + 1;
}

bool HeadlessRunner::processEvents(int timeoutMs, int stopFd) {
    deliverPosted();
    const int untilListing = followDevicesWhenDue();
    deliverPosted();
    const int wakeFd = session_.mailbox().wakeSignal().fd();
    pollfd fds[4] = {
        {wakeFd, POLLIN, 0}, {stopFd, POLLIN, 0}, {panicFd_, POLLIN, 0}, {nextSongFd_, POLLIN, 0}};
    // Without a wake-up descriptor the mailbox is polled on a short period instead.
    // Wakes at least once a second to report messages the devices could not send.
    const int longest = wakeFd < 0 ? 10 : 1000;
    int timeout = timeoutMs < 0 || timeoutMs > longest ? longest : timeoutMs;
    if (untilListing >= 0 && timeout > untilListing)
        timeout = untilListing;
    const int ready = ::poll(fds, 4, timeout);
    reportDrops();
    if (ready < 0 && errno != EINTR)
        return true;
    if (stopFd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
        return false;
    if (panicFd_ >= 0 && (fds[2].revents & POLLIN) != 0)
        takePanicRequest();
    if (nextSongFd_ >= 0 && (fds[3].revents & POLLIN) != 0)
        takeNextSongRequest();
    session_.drain();
    deliverPosted();
    return true;
}

void HeadlessRunner::takePanicRequest() {
    std::uint64_t count = 0;
    if (::read(panicFd_, &count, sizeof count) == sizeof count && count > 0)
        session_.panic();
}

void HeadlessRunner::takeNextSongRequest() {
    std::uint64_t count = 0;
    if (::read(nextSongFd_, &count, sizeof count) == sizeof count && count > 0 &&
        !session_.nextSong()) {
        diagnostics_ << "tarvelo: the last song plays: there is no next song" << std::endl;
    }
}

void HeadlessRunner::run(int stopFd) {
    while (processEvents(-1, stopFd)) {
    }
}

void HeadlessRunner::reportDrops() {
    const std::uint64_t lost = drops_.due(session_.droppedMessages(), DropReport::Clock::now());
    if (lost > 0) {
        diagnostics_ << "tarvelo: " << lost
                     << " MIDI messages could not be sent (an output was full)" << std::endl;
    }
}

void HeadlessRunner::shutdown() {
    session_.shutdown();
}

void HeadlessRunner::serverLost() {
    diagnostics_ << "tarvelo: the MIDI server went away; the devices stay silent" << std::endl;
}

void HeadlessRunner::serverBack() {
    diagnostics_ << "tarvelo: the MIDI server is back; the devices are open again";
    // A server started anew may run at another rate; the built-in synthesizer follows it.
    if (AudioHost* audio = session_.devices().backend().audioHost()) {
        const std::uint32_t rate = audio->sampleRate();
        if (rate != 0 && audioRate_ != 0 && rate != audioRate_)
            diagnostics_ << "; it now runs at " << rate << " Hz (was " << audioRate_ << " Hz)";
        if (rate != 0)
            audioRate_ = rate;
    }
    diagnostics_ << std::endl;
}

void HeadlessRunner::panicked() {
    diagnostics_ << "tarvelo: panic: every output silenced" << std::endl;
}

void HeadlessRunner::devicesChanged(const DeviceListChanges& changes) {
    const MidiDeviceSet& devices = session_.devices();
    for (const DeviceChange& c : changes.inputs) {
        const bool ours = c.index == devices.inputDevice();
        diagnostics_ << "tarvelo: input device \"" << devices.deviceName(false, c.index) << "\" ";
        switch (c.kind) {
            case DeviceChangeKind::Left:
                diagnostics_ << "went away"
                             << (ours ? "; nothing is played until it comes back" : "");
                break;
            case DeviceChangeKind::Returned:
                diagnostics_ << "came back" << (ours ? "; it is played again" : "");
                break;
            case DeviceChangeKind::Appeared:
                diagnostics_ << "appeared" << (ours ? "; it is played" : "");
                break;
            case DeviceChangeKind::Arrived:
                diagnostics_ << "is new";
                break;
        }
        diagnostics_ << std::endl;
    }
    for (const DeviceChange& c : changes.outputs) {
        const bool used = devices.useCount(c.index) > 0;
        diagnostics_ << "tarvelo: output device \"" << devices.deviceName(true, c.index) << "\" ";
        switch (c.kind) {
            case DeviceChangeKind::Left:
                diagnostics_ << "went away"
                             << (used ? "; its parts are silent until it comes back" : "");
                break;
            case DeviceChangeKind::Returned:
                diagnostics_ << "came back"
                             << (used ? "; its parts' initial messages are sent again" : "");
                break;
            case DeviceChangeKind::Appeared:
                diagnostics_ << "appeared"
                             << (used ? "; its parts' initial messages are sent" : "");
                break;
            case DeviceChangeKind::Arrived:
                diagnostics_ << "is new";
                break;
        }
        diagnostics_ << std::endl;
    }
}

void HeadlessRunner::reportUnsendable(int part, int index, PackedMessage message,
                                      ShortMessageFault fault) {
    const char* why = "";
    switch (fault) {
        case ShortMessageFault::NotAStatus:
            why = "its status byte is below 80h";
            break;
        case ShortMessageFault::ExclusiveStatus:
            why = "F0h and F7h go only in system-exclusive data";
            break;
        case ShortMessageFault::DataByteHigh:
            why = "a data byte is 80h or more";
            break;
        case ShortMessageFault::None:
            break;
    }
    // The bytes the status calls for, or all three when it is no status at all.
    const int length = shortMessageLength(statusOf(message));
    const std::uint8_t bytes[3] = {statusOf(message), data1Of(message), data2Of(message)};
    std::string shown;
    char hex[4];
    for (int i = 0; i < (length > 0 ? length : 3); ++i) {
        std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", bytes[i]);
        shown += hex;
    }
    diagnostics_ << "tarvelo: part " << part + 1 << " \"" << session_.parts().partAt(part).name
                 << "\", initial message " << index + 1 << " (" << shown << ") not sent: " << why
                 << std::endl;
}

MessageAnswer HeadlessRunner::show(std::string_view text, std::string_view caption,
                                   MessageButtons buttons, MessageIcon) {
    std::string line(caption.empty() ? std::string_view("tarvelo") : caption);
    line += ": ";
    for (char c : text)
        line += c == '\n' ? ' ' : c;
    diagnostics_ << line << std::endl;
    return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
}

}  // namespace tarvelo
