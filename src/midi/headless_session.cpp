#include "midi/headless_session.h"

#include <poll.h>

#include <cerrno>
#include <ostream>

namespace tarvelo {

HeadlessSession::HeadlessSession(MidiBackend& backend, std::ostream& diagnostics)
    : diagnostics_(diagnostics), parts_(backend) {
    // The owner must be in place before any device opens: it receives their completions.
    parts_.devices().initialize(&mailbox_);
}

HeadlessSession::~HeadlessSession() {
    shutdown();
}

std::optional<FileError> HeadlessSession::load(const std::string& path) {
    return loadArrangement(path, parts_, *this);
}

void HeadlessSession::start() {
    parts_.rebuildRoutes();
    sender_.sendAllInitialMessages();
}

void HeadlessSession::deliverPosted() {
    // A notice may start the next list, which may post again: delivered one by one, never from
    // inside the sender.
    while (!posted_.empty()) {
        const int part = posted_.front();
        posted_.pop_front();
        sender_.onInitSent(part);
    }
}

bool HeadlessSession::processEvents(int timeoutMs, int stopFd) {
    deliverPosted();
    const int wakeFd = mailbox_.wakeSignal().fd();
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    // Without a wake-up descriptor the mailbox is polled on a short period instead.
    const int longest = wakeFd < 0 ? 10 : 1000;
    const int timeout = timeoutMs < 0 || timeoutMs > longest ? longest : timeoutMs;
    const int ready = ::poll(fds, 2, timeout);
    reportDrops();
    if (ready < 0 && errno != EINTR)
        return true;
    if (stopFd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
        return false;
    mailbox_.drain(*this);
    deliverPosted();
    return true;
}

void HeadlessSession::run(int stopFd) {
    while (processEvents(-1, stopFd)) {
    }
}

void HeadlessSession::reportDrops() {
    const std::uint64_t lost =
        drops_.due(parts_.devices().backend().droppedMessages(), DropReport::Clock::now());
    if (lost > 0) {
        diagnostics_ << "tarvelo: " << lost
                     << " MIDI messages could not be sent (an output was full)" << std::endl;
    }
}

void HeadlessSession::shutdown() {
    parts_.devices().closeAll();
}

void HeadlessSession::onServerLost() {
    diagnostics_ << "tarvelo: the MIDI server went away; the devices stay silent" << std::endl;
}

MessageAnswer HeadlessSession::show(std::string_view text, std::string_view caption,
                                    MessageButtons buttons, MessageIcon) {
    std::string line(caption.empty() ? std::string_view("tarvelo") : caption);
    line += ": ";
    for (char c : text)
        line += c == '\n' ? ' ' : c;
    diagnostics_ << line << std::endl;
    return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
}

}  // namespace tarvelo
