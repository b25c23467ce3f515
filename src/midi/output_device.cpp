#include "midi/output_device.h"

#include "midi/held_pedals.h"

namespace tarvelo {

namespace {
constexpr std::uint8_t kControlChange = 0xB0;
constexpr std::uint8_t kSustain = 64;
constexpr std::uint8_t kAllSoundOff = 120;
constexpr std::uint8_t kAllNotesOff = 123;
}  // namespace

void OutputDevice::track(PackedMessage message) noexcept {
    const std::uint8_t kind = statusOf(message) & 0xF0;
    if (kind != 0x80 && kind != 0x90)
        return;
    const int channel = statusOf(message) & 0x0F;
    const int note = data1Of(message);
    const std::uint64_t bit = std::uint64_t{1} << (note & 63);
    auto& word = sounding_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(note >> 6)];
    if (isNoteOnPress(message)) {
        word.fetch_or(bit, std::memory_order_relaxed);
    } else {
        word.fetch_and(~bit, std::memory_order_relaxed);
    }
}

bool OutputDevice::isSounding(int channel, int note) const noexcept {
    if (channel < 0 || channel > 15 || note < 0 || note > 127)
        return false;
    const auto word =
        sounding_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(note >> 6)].load(
            std::memory_order_relaxed);
    return (word >> (note & 63)) & 1U;
}

void OutputDevice::releaseSounding(int channel) {
    for (int half = 0; half < 2; ++half) {
        auto& word = sounding_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(half)];
        std::uint64_t bits = word.exchange(0, std::memory_order_relaxed);
        while (bits != 0) {
            const int bit = __builtin_ctzll(bits);
            bits &= bits - 1;
            port_->sendShort(packMessage(static_cast<std::uint8_t>(0x80 | channel),
                                         static_cast<std::uint8_t>(half * 64 + bit), 0));
        }
    }
}

void OutputDevice::reset() {
    for (int channel = 0; channel < 16; ++channel) {
        releaseSounding(channel);
        port_->sendShort(
            packMessage(static_cast<std::uint8_t>(kControlChange | channel), kSustain, 0));
    }
    port_->flush();
}

void OutputDevice::panic() {
    for (int channel = 0; channel < 16; ++channel) {
        const auto control = static_cast<std::uint8_t>(kControlChange | channel);
        releaseSounding(channel);
        for (const std::uint8_t pedal : {kSustainPedal, kSostenutoPedal, kSoftPedal})
            port_->sendShort(packMessage(control, pedal, 0));
        port_->sendShort(packMessage(static_cast<std::uint8_t>(0xE0 | channel), 0x00, 0x40));
        port_->sendShort(packMessage(control, kAllNotesOff, 0));
        port_->sendShort(packMessage(control, kAllSoundOff, 0));
    }
    port_->flush();
}

}  // namespace tarvelo
