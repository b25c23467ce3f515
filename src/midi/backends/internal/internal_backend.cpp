#include "midi/backends/internal/internal_backend.h"

#include "midi/built_in_devices.h"

namespace tarvelo {

class InternalBackend::VirtualInputPort final : public MidiInputPort {
  public:
    VirtualInputPort(InternalBackend& backend, InputHandler& handler)
        : backend_(backend), handler_(handler) {}

    ~VirtualInputPort() override {
        backend_.handler_.store(nullptr, std::memory_order_seq_cst);
        backend_.gate_.waitForQuiescence();
    }

    void start() override { backend_.handler_.store(&handler_, std::memory_order_seq_cst); }

  private:
    InternalBackend& backend_;
    InputHandler& handler_;
};

InternalBackend::InternalBackend() = default;

InternalBackend::~InternalBackend() = default;

std::vector<std::string> InternalBackend::inputNames() {
    return {kVirtualInputName};
}

std::unique_ptr<MidiInputPort> InternalBackend::openInput(const std::string& name,
                                                          InputHandler& handler) {
    if (name != kVirtualInputName || handler_.load(std::memory_order_seq_cst) != nullptr)
        return nullptr;
    return std::make_unique<VirtualInputPort>(*this, handler);
}

std::unique_ptr<MidiOutputPort> InternalBackend::openOutput(const std::string&,
                                                            LongMessageListener&) {
    return nullptr;
}

void InternalBackend::setPlayback(synth::FilePlayback* playback) {
    playback_.store(playback, std::memory_order_seq_cst);
    gate_.waitForQuiescence();
}

void InternalBackend::beforePeriod(std::uint32_t frames) noexcept {
    gate_.enter();
    synth::FilePlayback* playback = playback_.load(std::memory_order_seq_cst);
    InputHandler* handler = handler_.load(std::memory_order_seq_cst);
    if (playback != nullptr && handler != nullptr) {
        playback->playPeriod(frames, [this, handler](std::uint32_t frame, PackedMessage message) {
            eventFrame_ = frame;
            handler->onShortMessage(message);
        });
    } else if (playback != nullptr) {
        // Nobody listens on the virtual input: the file still moves on with time.
        playback->playPeriod(frames, [](std::uint32_t, PackedMessage) {});
    }
    eventFrame_ = 0;
    gate_.leave();
}

}  // namespace tarvelo
