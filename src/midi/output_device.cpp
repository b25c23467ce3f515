#include "midi/output_device.h"

#include "midi/held_pedals.h"

namespace tarvelo {

namespace {
constexpr std::uint8_t kControlChange = 0xB0;
constexpr std::uint8_t kSustain = 64;
constexpr std::uint8_t kAllSoundOff = 120;
constexpr std::uint8_t kAllNotesOff = 123;
}  // namespace

namespace {

constexpr std::uint8_t kProgramChange = 0xC0;
constexpr std::uint8_t kBankMsb = 0;
constexpr std::uint8_t kBankLsb = 32;
constexpr std::uint16_t kMsbKnown = 1U << 14;
constexpr std::uint16_t kLsbKnown = 1U << 15;
constexpr std::uint32_t kProgramKnown = 1U << 31;

// The program word of a program change made in bank.
std::uint32_t programWord(std::uint8_t program, std::uint16_t bank) {
    return kProgramKnown | (std::uint32_t{bank} << 7) | program;
}

}  // namespace

bool OutputDevice::alreadySet(PackedMessage message) const noexcept {
    if ((statusOf(message) & 0xF0) != kProgramChange)
        return false;
    const auto channel = static_cast<std::size_t>(statusOf(message) & 0x0F);
    const std::uint32_t last = programs_[channel].load(std::memory_order_relaxed);
    return last != 0 &&
           last == programWord(data1Of(message), banks_[channel].load(std::memory_order_relaxed));
}

void OutputDevice::track(PackedMessage message) noexcept {
    const std::uint8_t kind = statusOf(message) & 0xF0;
    const auto index = static_cast<std::size_t>(statusOf(message) & 0x0F);
    if (kind == kControlChange) {
        const std::uint8_t controller = data1Of(message);
        const std::uint8_t value = data2Of(message);
        if (const std::uint8_t bit = pedalBit(controller); bit != 0) {
            if (isPedalDown(value)) {
                pedals_[index].fetch_or(bit, std::memory_order_relaxed);
            } else {
                pedals_[index].fetch_and(static_cast<std::uint8_t>(~bit),
                                         std::memory_order_relaxed);
            }
        } else if (controller == kBankMsb) {
            std::uint16_t bank = banks_[index].load(std::memory_order_relaxed);
            bank = static_cast<std::uint16_t>((bank & ~0x7FU) | value | kMsbKnown);
            banks_[index].store(bank, std::memory_order_relaxed);
        } else if (controller == kBankLsb) {
            std::uint16_t bank = banks_[index].load(std::memory_order_relaxed);
            bank = static_cast<std::uint16_t>((bank & ~(0x7FU << 7)) | (value << 7) | kLsbKnown);
            banks_[index].store(bank, std::memory_order_relaxed);
        }
        return;
    }
    if (kind == kProgramChange) {
        programs_[index].store(
            programWord(data1Of(message), banks_[index].load(std::memory_order_relaxed)),
            std::memory_order_relaxed);
        return;
    }
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

bool OutputDevice::isQuiet() const noexcept {
    for (std::size_t channel = 0; channel < 16; ++channel) {
        if (pedals_[channel].load(std::memory_order_relaxed) != 0)
            return false;
        for (const auto& word : sounding_[channel]) {
            if (word.load(std::memory_order_relaxed) != 0)
                return false;
        }
    }
    return true;
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
        pedals_[static_cast<std::size_t>(channel)].fetch_and(static_cast<std::uint8_t>(~1U),
                                                             std::memory_order_relaxed);
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
        pedals_[static_cast<std::size_t>(channel)].store(0, std::memory_order_relaxed);
    }
    port_->flush();
}

}  // namespace tarvelo
