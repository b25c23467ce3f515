// The reference for the window's cost in router_cpu_bench: the least a Qt program can do to route
// MIDI on JACK and light the keys played at the display's pace. Its process callback copies every
// event from its input to its output in the same cycle and keeps the pressed keys in two atomic
// words; the first change after a quiet spell wakes the window through an eventfd, and while keys
// keep changing a 16 ms timer repaints the cells of the keys that changed (a plain rectangle
// each). A tick that finds no change re-arms the wake-up and stops the timer.
//
// Usage: lit_pass_through SERVER (run offscreen by the benchmark; ends on SIGTERM or SIGINT).
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

constexpr int kCell = 6;

// Shared between JACK's process thread (writer) and the user-interface thread (reader).
struct KeyState {
    std::array<std::atomic<std::uint64_t>, 2> pressed{};
    std::atomic<std::uint64_t> changes{0};
    std::atomic<bool> wakeArmed{true};
    int wakeFd = -1;
};

struct Router {
    jack_port_t* in = nullptr;
    jack_port_t* out = nullptr;
    KeyState* keys = nullptr;

    // JACK's process thread.
    static int process(jack_nframes_t frames, void* arg) noexcept {
        auto* self = static_cast<Router*>(arg);
        void* in = jack_port_get_buffer(self->in, frames);
        void* out = jack_port_get_buffer(self->out, frames);
        jack_midi_clear_buffer(out);
        const std::uint32_t count = jack_midi_get_event_count(in);
        bool changed = false;
        for (std::uint32_t e = 0; e < count; ++e) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, in, e) != 0)
                continue;
            jack_midi_event_write(out, event.time, event.buffer, event.size);
            if (event.size == 3 && (event.buffer[0] & 0xE0) == 0x80) {
                const int key = event.buffer[1] & 0x7F;
                const std::uint64_t bit = std::uint64_t{1} << (key % 64);
                const bool down = event.buffer[0] >= 0x90 && event.buffer[2] != 0;
                auto& word = self->keys->pressed[static_cast<std::size_t>(key / 64)];
                if (down)
                    word.fetch_or(bit, std::memory_order_relaxed);
                else
                    word.fetch_and(~bit, std::memory_order_relaxed);
                changed = true;
            }
        }
        if (changed) {
            self->keys->changes.fetch_add(1, std::memory_order_release);
            if (self->keys->wakeArmed.exchange(false, std::memory_order_acq_rel)) {
                const std::uint64_t one = 1;
                [[maybe_unused]] const auto written = ::write(self->keys->wakeFd, &one, sizeof one);
            }
        }
        return 0;
    }
};

// A row of 128 cells, lit for the keys held. User-interface thread only.
class KeyRow : public QWidget {
  public:
    explicit KeyRow(KeyState& keys) : keys_(keys) {
        setAttribute(Qt::WA_OpaquePaintEvent, true);
        resize(128 * kCell, 40);
        pace_.setTimerType(Qt::PreciseTimer);
        pace_.setInterval(16);
        QObject::connect(&pace_, &QTimer::timeout, this, [this] { tick(); });
    }

    // The wake-up of the first change after a quiet spell.
    void woken() {
        std::uint64_t count = 0;
        [[maybe_unused]] const auto read = ::read(keys_.wakeFd, &count, sizeof count);
        tick();
        if (!pace_.isActive())
            pace_.start();
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter p(this);
        for (const QRect& r : event->region()) {
            const int first = r.left() / kCell;
            const int last = std::min(127, r.right() / kCell);
            for (int key = first; key <= last; ++key)
                p.fillRect(key * kCell, 0, kCell - 1, height(), shown_[key] ? Qt::red : Qt::white);
        }
    }

  private:
    void tick() {
        const std::uint64_t changes = keys_.changes.load(std::memory_order_acquire);
        if (changes == seenChanges_) {
            // Quiet for a frame: the next change wakes the window again.
            pace_.stop();
            keys_.wakeArmed.store(true, std::memory_order_seq_cst);
            if (keys_.changes.load(std::memory_order_seq_cst) == seenChanges_)
                return;
            pace_.start();
        }
        seenChanges_ = keys_.changes.load(std::memory_order_acquire);
        QRegion changed;
        for (int key = 0; key < 128; ++key) {
            const bool down = (keys_.pressed[static_cast<std::size_t>(key / 64)].load(
                                   std::memory_order_relaxed) >>
                               (key % 64)) &
                              1U;
            if (down != shown_[key]) {
                shown_[key] = down;
                changed += QRect(key * kCell, 0, kCell, height());
            }
        }
        if (!changed.isEmpty())
            repaint(changed);
    }

    KeyState& keys_;
    QTimer pace_;
    std::uint64_t seenChanges_ = 0;
    std::array<bool, 128> shown_{};
};

void quiet(const char*) {}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SERVER\n", argv[0]);
        return 2;
    }
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    QApplication app(argc, argv);
    KeyState keys;
    keys.wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    KeyRow row(keys);
    row.show();
    QSocketNotifier notifier(keys.wakeFd, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &row, [&row] { row.woken(); });

    jack_status_t status{};
    jack_client_t* client =
        jack_client_open("litpass", static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                         &status, argv[1]);
    if (client == nullptr)
        return 1;
    Router router;
    router.keys = &keys;
    router.in = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    router.out = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client, &Router::process, &router);
    if (router.in == nullptr || router.out == nullptr || jack_activate(client) != 0)
        return 1;

    // SIGTERM and SIGINT end the event loop (the benchmark stops its children with SIGTERM).
    static int stopFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    struct sigaction action {};
    action.sa_handler = [](int) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(stopFd, &one, sizeof one);
    };
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    QSocketNotifier stop(stopFd, QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &app, &QApplication::quit);

    const int result = app.exec();
    jack_client_close(client);
    return result;
}
