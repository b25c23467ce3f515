#include "session/headless_runner.h"

#include <poll.h>

#include <cerrno>
#include <ostream>

namespace tarvelo {

HeadlessRunner::HeadlessRunner(MidiBackend& backend, std::ostream& diagnostics)
    : diagnostics_(diagnostics), session_(backend, *this) {
    session_.listDevices();
}

HeadlessRunner::~HeadlessRunner() {
    shutdown();
}

std::optional<FileError> HeadlessRunner::load(const std::string& path) {
    return session_.load(path);
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

bool HeadlessRunner::processEvents(int timeoutMs, int stopFd) {
    deliverPosted();
    const int wakeFd = session_.mailbox().wakeSignal().fd();
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    // Without a wake-up descriptor the mailbox is polled on a short period instead.
    const int timeout = wakeFd < 0 && (timeoutMs < 0 || timeoutMs > 10) ? 10 : timeoutMs;
    const int ready = ::poll(fds, 2, timeout);
    if (ready < 0 && errno != EINTR)
        return true;
    if (stopFd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
        return false;
    session_.drain();
    deliverPosted();
    return true;
}

void HeadlessRunner::run(int stopFd) {
    while (processEvents(-1, stopFd)) {
    }
}

void HeadlessRunner::shutdown() {
    session_.shutdown();
}

void HeadlessRunner::serverLost() {
    diagnostics_ << "tarvelo: the MIDI server went away; the devices stay silent" << std::endl;
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
