#include "midi/synth/midi_file_schedule.h"

#include <fluidsynth.h>

#include <array>
#include <cstring>
#include <memory>

#include "midi/synth/audio_logs.h"
#include "reference/input_file.h"

namespace tarvelo::synth {

namespace {

// FluidSynth renders and times in blocks of this many frames.
constexpr int kBlock = 64;
// A file that plays longer than this is taken to be broken (or looping) rather than waited for.
constexpr std::uint64_t kLongestFileSeconds = 6 * 60 * 60;

struct Deleter {
    void operator()(fluid_settings_t* s) const { delete_fluid_settings(s); }
    void operator()(fluid_synth_t* s) const { delete_fluid_synth(s); }
    void operator()(fluid_player_t* p) const { delete_fluid_player(p); }
};

// Collects what the player plays, stamped with the frame of the block being rendered.
struct Collector {
    MidiFileSchedule schedule;
    std::uint64_t blockFrame = 0;

    static int onEvent(void* self, fluid_midi_event_t* event) {
        static_cast<Collector*>(self)->take(event);
        return FLUID_OK;
    }

    void take(fluid_midi_event_t* event) {
        const int type = fluid_midi_event_get_type(event);
        const int channel = fluid_midi_event_get_channel(event) & 0x0F;
        // FluidSynth keeps the first and second data bytes in the fields read by key and
        // velocity, whatever the kind of message; a pitch bend keeps all 14 bits in the first.
        const int first = fluid_midi_event_get_key(event);
        const int second = fluid_midi_event_get_velocity(event);
        PackedMessage message = 0;
        if (type >= 0x80 && type < 0xF0) {
            const auto status = static_cast<std::uint8_t>(type | channel);
            if (type == 0xE0) {
                const int bend = fluid_midi_event_get_pitch(event);
                message = packMessage(status, static_cast<std::uint8_t>(bend & 0x7F),
                                      static_cast<std::uint8_t>((bend >> 7) & 0x7F));
            } else {
                message = packMessage(status, static_cast<std::uint8_t>(first & 0x7F),
                                      static_cast<std::uint8_t>(second & 0x7F));
            }
        } else if (type > 0xF0 && type != 0xF7 && type != 0xFF) {
            // System common and real-time messages; 0xFF in a file is a meta event.
            message = packMessage(static_cast<std::uint8_t>(type),
                                  static_cast<std::uint8_t>(first & 0x7F),
                                  static_cast<std::uint8_t>(second & 0x7F));
        }
        if (message != 0 && isWellFormedShortMessage(message))
            schedule.messages.push_back({blockFrame, message});
    }
};

// The number of tracks a Standard MIDI File's header declares (0 when the header is too short).
std::uint32_t declaredTracks(std::span<const std::uint8_t> bytes) {
    return bytes.size() < 12 ? 0 : (std::uint32_t{bytes[10]} << 8) | bytes[11];
}

}  // namespace

std::optional<MidiFileSchedule> loadMidiFile(const std::string& path, std::uint32_t sampleRate,
                                             std::string& error) {
    const InputFileBytes file = readInputFile(path, input_limits::kMidiFileBytes);
    if (file.error) {
        const bool open = file.error->kind == InputFileError::Kind::CannotOpen;
        error = (open ? "cannot open '" : "cannot play '") + path + "': " + file.error->detail;
        if (file.error->kind == InputFileError::Kind::TooLarge)
            error += ", more than any performance";
        return std::nullopt;
    }
    return readMidiFile(file.bytes, sampleRate, "'" + path + "'", error);
}

std::optional<MidiFileSchedule> readMidiFile(std::span<const std::uint8_t> bytes,
                                             std::uint32_t sampleRate, const std::string& name,
                                             std::string& error) {
    if (bytes.size() < 14 || std::memcmp(bytes.data(), "MThd", 4) != 0) {
        error = name + " is not a Standard MIDI File";
        return std::nullopt;
    }
    if (const std::uint32_t tracks = declaredTracks(bytes); tracks > kMaxTracks) {
        error = name + " has " + std::to_string(tracks) + " tracks; at most " +
                std::to_string(kMaxTracks) + " can be played";
        return std::nullopt;
    }

    silenceAudioLogs();
    // A synthesizer with no SoundFont serves as the player's clock: rendering it advances the
    // player by exactly the frames rendered ("sample" timing), however fast that happens.
    std::unique_ptr<fluid_settings_t, Deleter> settings(new_fluid_settings());
    fluid_settings_setnum(settings.get(), "synth.sample-rate", static_cast<double>(sampleRate));
    fluid_settings_setint(settings.get(), "synth.polyphony", 16);
    fluid_settings_setint(settings.get(), "synth.reverb.active", 0);
    fluid_settings_setint(settings.get(), "synth.chorus.active", 0);
    fluid_settings_setstr(settings.get(), "player.timing-source", "sample");
    std::unique_ptr<fluid_synth_t, Deleter> clock(new_fluid_synth(settings.get()));
    std::unique_ptr<fluid_player_t, Deleter> player(clock ? new_fluid_player(clock.get())
                                                          : nullptr);
    if (!player) {
        error = "FluidSynth could not be started to read " + name;
        return std::nullopt;
    }
    Collector collector;
    fluid_player_set_playback_callback(player.get(), &Collector::onEvent, &collector);
    if (fluid_player_add_mem(player.get(), bytes.data(), bytes.size()) != FLUID_OK ||
        fluid_player_play(player.get()) != FLUID_OK) {
        error = name + " cannot be played";
        return std::nullopt;
    }

    std::array<float, kBlock> left{};
    std::array<float, kBlock> right{};
    float* out[2] = {left.data(), right.data()};
    const std::uint64_t limit = kLongestFileSeconds * sampleRate;
    while (fluid_player_get_status(player.get()) == FLUID_PLAYER_PLAYING) {
        if (collector.blockFrame >= limit) {
            error = name + " plays longer than " + std::to_string(kLongestFileSeconds / 3600) +
                    " hours";
            return std::nullopt;
        }
        fluid_synth_process(clock.get(), kBlock, 0, nullptr, 2, out);
        collector.blockFrame += kBlock;
    }
    if (collector.schedule.messages.empty() && fluid_player_get_total_ticks(player.get()) <= 0) {
        error = name + " is not a readable Standard MIDI File";
        return std::nullopt;
    }
    collector.schedule.endFrame =
        collector.schedule.messages.empty() ? 0 : collector.schedule.messages.back().frame;
    return std::move(collector.schedule);
}

bool keepChannels(MidiFileSchedule& schedule, std::uint16_t channels) {
    bool anyKept = false;
    std::erase_if(schedule.messages, [&](const ScheduledMessage& m) {
        const std::uint8_t status = statusOf(m.message);
        if (status >= 0xF0)
            return false;
        const bool keep = (channels >> (status & 0x0F)) & 1;
        anyKept |= keep;
        return !keep;
    });
    schedule.endFrame = schedule.messages.empty() ? 0 : schedule.messages.back().frame;
    return anyKept;
}

}  // namespace tarvelo::synth
