#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace tarvelo::testing {

// Builds a Standard MIDI File of type 1: a tempo track and one track of events, at 480 ticks per
// quarter note. Events are given in ticks from the start, in order; the writer uses running
// status where the status repeats, as files in the wild do.
class MidiFileWriter {
  public:
    static constexpr int kTicksPerQuarter = 480;

    // microsecondsPerQuarter at tick (the first one at tick 0).
    void tempo(std::uint32_t tick, std::uint32_t microsecondsPerQuarter) {
        const std::uint8_t t[3] = {static_cast<std::uint8_t>(microsecondsPerQuarter >> 16),
                                   static_cast<std::uint8_t>(microsecondsPerQuarter >> 8),
                                   static_cast<std::uint8_t>(microsecondsPerQuarter)};
        put(tempo_, tempoTick_, tick, {0xFF, 0x51, 0x03, t[0], t[1], t[2]});
    }
    void event(std::uint32_t tick, std::vector<std::uint8_t> bytes) {
        put(events_, eventTick_, tick, std::move(bytes), true);
    }

    std::vector<std::uint8_t> bytes() const {
        std::vector<std::uint8_t> out = {'M',
                                         'T',
                                         'h',
                                         'd',
                                         0,
                                         0,
                                         0,
                                         6,
                                         0,
                                         1,
                                         0,
                                         2,
                                         kTicksPerQuarter >> 8,
                                         kTicksPerQuarter & 0xFF};
        appendTrack(out, tempo_);
        appendTrack(out, events_);
        return out;
    }
    bool save(const std::string& path) const {
        const auto b = bytes();
        std::ofstream file(path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        return static_cast<bool>(file);
    }

  private:
    void put(std::vector<std::uint8_t>& track, std::uint32_t& last, std::uint32_t tick,
             std::vector<std::uint8_t> bytes, bool runningStatus = false) {
        appendVariable(track, tick - last);
        last = tick;
        std::size_t from = 0;
        if (runningStatus && bytes[0] < 0xF0 && bytes[0] == status_)
            from = 1;
        if (bytes[0] < 0xF0)
            status_ = bytes[0];
        track.insert(track.end(), bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end());
    }
    static void appendVariable(std::vector<std::uint8_t>& out, std::uint32_t value) {
        std::uint8_t groups[5];
        int n = 0;
        do {
            groups[n++] = value & 0x7F;
            value >>= 7;
        } while (value != 0);
        while (n-- > 0)
            out.push_back(static_cast<std::uint8_t>(groups[n] | (n > 0 ? 0x80 : 0)));
    }
    static void appendTrack(std::vector<std::uint8_t>& out, std::vector<std::uint8_t> track) {
        track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
        const auto size = static_cast<std::uint32_t>(track.size());
        out.insert(out.end(),
                   {'M', 'T', 'r', 'k', static_cast<std::uint8_t>(size >> 24),
                    static_cast<std::uint8_t>(size >> 16), static_cast<std::uint8_t>(size >> 8),
                    static_cast<std::uint8_t>(size)});
        out.insert(out.end(), track.begin(), track.end());
    }

    std::vector<std::uint8_t> tempo_;
    std::vector<std::uint8_t> events_;
    std::uint32_t tempoTick_ = 0;
    std::uint32_t eventTick_ = 0;
    std::uint8_t status_ = 0;
};

}  // namespace tarvelo::testing
