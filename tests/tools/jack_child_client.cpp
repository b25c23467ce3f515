// A JACK MIDI client that runs as a process of its own, for tests of clients that really end
// (exit, SIGTERM, SIGKILL) and of clients whose ports exist before they are active.
//
//   tarvelo_jack_child NAME [--in PORT]... [--out PORT]... [--activate-after MS] [--play-every MS]
//
// Standard output, one line each, flushed: "active NS" once the client is active, and
// "recv NS PORT HEX..." for every event an input port received (NS: CLOCK_MONOTONIC at the start
// of the cycle, in nanoseconds, comparable with the test's own clock).
// Standard input, one command a line: "send PORT HEX..." writes the bytes on output PORT in the
// next cycle; "exit" closes the client and ends the process.
// --play-every MS: output 0 plays key 60 on and off in turn every MS milliseconds.
#include <jack/jack.h>
#include <jack/midiport.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "midi/spsc_ring.h"

namespace {

struct Event {
    std::int64_t ns = 0;
    int port = 0;
    std::uint8_t size = 0;
    std::array<std::uint8_t, 16> bytes{};
};

std::int64_t monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

struct Client {
    jack_client_t* client = nullptr;
    std::vector<jack_port_t*> inputs;
    std::vector<jack_port_t*> outputs;
    tarvelo::SpscRing<Event, 4096> received;
    tarvelo::SpscRing<Event, 256> toSend;
    std::int64_t playEveryNs = 0;
    std::int64_t nextPlayNs = 0;
    bool keyDown = false;

    int process(jack_nframes_t frames) noexcept {
        const std::int64_t now = monotonicNs();
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            void* buffer = jack_port_get_buffer(inputs[i], frames);
            const std::uint32_t count = jack_midi_get_event_count(buffer);
            for (std::uint32_t e = 0; e < count; ++e) {
                jack_midi_event_t event;
                if (jack_midi_event_get(&event, buffer, e) != 0)
                    continue;
                Event copy;
                copy.ns = now;
                copy.port = static_cast<int>(i);
                copy.size = static_cast<std::uint8_t>(std::min<std::size_t>(event.size, 16));
                std::memcpy(copy.bytes.data(), event.buffer, copy.size);
                received.push(copy);
            }
        }
        std::vector<void*>::size_type n = outputs.size();
        std::array<void*, 8> out{};
        for (std::size_t i = 0; i < n && i < out.size(); ++i) {
            out[i] = jack_port_get_buffer(outputs[i], frames);
            jack_midi_clear_buffer(out[i]);
        }
        Event send;
        while (toSend.pop(send)) {
            if (send.port >= 0 && static_cast<std::size_t>(send.port) < n)
                jack_midi_event_write(out[static_cast<std::size_t>(send.port)], 0, send.bytes.data(),
                                      send.size);
        }
        if (playEveryNs > 0 && n > 0 && now >= nextPlayNs) {
            nextPlayNs = now + playEveryNs;
            const std::uint8_t note[3] = {static_cast<std::uint8_t>(keyDown ? 0x80 : 0x90), 60,
                                          static_cast<std::uint8_t>(keyDown ? 0 : 100)};
            keyDown = !keyDown;
            jack_midi_event_write(out[0], 0, note, 3);
        }
        return 0;
    }
};

int onProcess(jack_nframes_t frames, void* self) {
    return static_cast<Client*>(self)->process(frames);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s NAME [--in PORT]... [--out PORT]... [--activate-after MS] "
                             "[--play-every MS]\n", argv[0]);
        return 2;
    }
    std::vector<std::string> inputs;
    std::vector<std::string> outputs;
    int activateAfterMs = 0;
    int playEveryMs = 0;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--in")
            inputs.emplace_back(argv[i + 1]);
        else if (option == "--out")
            outputs.emplace_back(argv[i + 1]);
        else if (option == "--activate-after")
            activateAfterMs = std::atoi(argv[i + 1]);
        else if (option == "--play-every")
            playEveryMs = std::atoi(argv[i + 1]);
    }
    static Client c;
    // Under its own name only, as a device returns: a client of that name that was killed a
    // moment ago may still be being removed.
    jack_status_t status{};
    for (int attempt = 0; attempt < 100 && c.client == nullptr; ++attempt) {
        c.client = jack_client_open(
            argv[1], static_cast<jack_options_t>(JackNoStartServer | JackUseExactName), &status);
        if (c.client == nullptr)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (c.client == nullptr) {
        std::fprintf(stderr, "cannot open client %s\n", argv[1]);
        return 1;
    }
    for (const std::string& name : inputs)
        c.inputs.push_back(
            jack_port_register(c.client, name.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0));
    for (const std::string& name : outputs)
        c.outputs.push_back(jack_port_register(c.client, name.c_str(), JACK_DEFAULT_MIDI_TYPE,
                                               JackPortIsOutput, 0));
    c.playEveryNs = std::int64_t{playEveryMs} * 1000000;
    jack_set_process_callback(c.client, onProcess, &c);
    // Ports that others can see, and try to connect to, before the client is active.
    if (activateAfterMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(activateAfterMs));
    if (jack_activate(c.client) != 0)
        return 1;
    std::printf("active %lld\n", static_cast<long long>(monotonicNs()));
    std::fflush(stdout);

    std::atomic<bool> done{false};
    std::thread commands([&done] {
        std::string line;
        while (std::getline(std::cin, line)) {
            std::istringstream words(line);
            std::string verb;
            words >> verb;
            if (verb == "exit")
                break;
            if (verb != "send")
                continue;
            Event e;
            words >> e.port;
            unsigned value = 0;
            while (e.size < e.bytes.size() && (words >> std::hex >> value))
                e.bytes[e.size++] = static_cast<std::uint8_t>(value);
            while (!c.toSend.push(e))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        done.store(true);
    });
    while (!done.load()) {
        Event e;
        bool any = false;
        while (c.received.pop(e)) {
            any = true;
            std::printf("recv %lld %d", static_cast<long long>(e.ns), e.port);
            for (std::uint8_t i = 0; i < e.size; ++i)
                std::printf(" %02x", e.bytes[i]);
            std::printf("\n");
        }
        if (any)
            std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    commands.join();
    jack_client_close(c.client);
    return 0;
}
