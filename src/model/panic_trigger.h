#pragma once

namespace tarvelo {

// The controller on the MIDI input that silences everything the program sent (the panic
// action): a control change with this number and exactly this value. Off by default; kept with
// the arrangement beyond what its file holds.
struct PanicTrigger {
    static constexpr int kOff = -1;

    int controller = kOff;  // 0..127, or kOff
    int value = 127;        // 0..127

    bool enabled() const { return controller >= 0 && controller <= 127; }
    bool operator==(const PanicTrigger&) const = default;
};

}  // namespace tarvelo
