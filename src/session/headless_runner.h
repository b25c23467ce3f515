#pragma once

#include <chrono>
#include <deque>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "midi/drop_report.h"
#include "model/arrangement_file.h"
#include "model/message_boxes.h"
#include "session/live_session.h"
#include "session/session_host.h"

namespace tarvelo {

// Plays an arrangement without a window: loads it, sends every Part's initial messages, and
// routes the input until told to stop. Messages meant for boxes go to a text stream, one line
// each. Everything but the device threads runs on the thread that calls these functions.
class HeadlessRunner final : private SessionHost, private MessageBoxes {
  public:
    // Lists the devices at once. backend and diagnostics must outlive the runner.
    HeadlessRunner(MidiBackend& backend, std::ostream& diagnostics);
    ~HeadlessRunner() override;
    HeadlessRunner(const HeadlessRunner&) = delete;
    HeadlessRunner& operator=(const HeadlessRunner&) = delete;

    // Reads the file and opens its devices; a missing device is reported and device 0 used.
    // On failure nothing is opened.
    std::optional<FileError> load(const std::string& path);
    // Reads the set list and every arrangement it names, and plays song firstSong (0-based):
    // see LiveSession::loadSetList. Every problem found, in line order; none on success.
    std::vector<SetListProblem> loadSetList(const std::string& path, int firstSong);
    // Switches to the next song of the set list, as its footswitch would; false after the last.
    bool nextSong() { return session_.nextSong(); }

    // Makes the input device of that name the open input, if it is not; false when there is no
    // such device.
    bool selectInput(std::string_view name);

    // Starts sending the initial messages, Part 0 first.
    void start();

    // A descriptor that becomes readable when the panic action is asked for from outside (an
    // eventfd counter, such as SIGUSR1's): processEvents reads it empty and silences every output,
    // which is said in one line. -1: none. The descriptor must outlive its use here.
    void watchPanicRequests(int fd) { panicFd_ = fd; }
    // Likewise for a descriptor that asks for the next song of the set list.
    void watchNextSongRequests(int fd) { nextSongFd_ = fd; }

    // Handles whatever the devices delivered and the notices posted meanwhile, waiting up to
    // timeoutMs (-1: forever) for something to arrive; lists the devices again when the session's
    // relist interval has passed, waking up for it. Messages the devices could not send are
    // reported in one line at most once a second, so the wait wakes once a second at most.
    // Returns false when stopFd (if not -1) became readable instead.
    bool processEvents(int timeoutMs, int stopFd = -1);

    // Runs processEvents until stopFd becomes readable.
    void run(int stopFd);

    // Silences and closes every device (the input first).
    void shutdown();

    // No list is being sent or waiting, and no notice is pending.
    bool idle() const {
        return !session_.sender().busy() && !session_.sender().sending() && posted_.empty();
    }

    const LiveSession& session() const { return session_; }

  private:
    // SessionHost
    void noteReceived(PackedMessage) override {}
    void serverLost() override;
    void serverBack() override;
    // One line per change.
    void devicesChanged(const DeviceListChanges& changes) override;
    void panicked() override;
    void postInitSent(int part) override { posted_.push_back(part); }
    // One line per switch: the song's number and name, and how long the switch took.
    void songChanged(int index, std::chrono::microseconds took) override;
    MessageBoxes& messageBoxes() override { return *this; }
    // One line naming the Part and the message.
    void reportUnsendable(int part, int index, PackedMessage message,
                          ShortMessageFault fault) override;

    // MessageBoxes: one line per box; questions are answered No.
    MessageAnswer show(std::string_view text, std::string_view caption, MessageButtons buttons,
                       MessageIcon icon) override;

    void deliverPosted();
    // Runs the panic when panicFd_ asked for it; reads the descriptor empty.
    void takePanicRequest();
    // Selects the next song when nextSongFd_ asked for it; reads the descriptor empty.
    void takeNextSongRequest();
    void reportDrops();
    // Lists the devices again when the relist interval has passed; returns the milliseconds until
    // the next listing is due, or -1 when none is (changes are announced).
    int followDevicesWhenDue();

    std::ostream& diagnostics_;
    LiveSession session_;  // shows no notes: there is no keyboard picture
    std::deque<int> posted_;
    DropReport drops_;
    std::chrono::steady_clock::time_point lastListing_ = std::chrono::steady_clock::now();
    int panicFd_ = -1;
    int nextSongFd_ = -1;
    std::uint32_t audioRate_ = 0;  // the audio host's rate when last heard of; 0: none
};

}  // namespace tarvelo
