#include "integration/jack_test_client.h"

#include <jack/midiport.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

namespace tarvelo::testing {

using namespace std::chrono_literals;

JackTestClient::Log::Log()
    : entries_(std::make_unique<Entry[]>(kEntries)),
      arena_(std::make_unique<std::uint8_t[]>(kBytes)) {}

void JackTestClient::Log::append(int port, std::uint64_t frame, const std::uint8_t* data,
                                 std::size_t size) noexcept {
    const std::size_t n = count_.load(std::memory_order_relaxed);
    if (n == kEntries || used_ + size > kBytes)
        return;
    std::copy(data, data + size, arena_.get() + used_);
    entries_[n] = Entry{port, frame, used_, size};
    used_ += size;
    count_.store(n + 1, std::memory_order_release);
}

std::vector<MidiEvent> JackTestClient::Log::snapshot() const {
    const std::size_t n = count_.load(std::memory_order_acquire);
    std::vector<MidiEvent> events;
    events.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Entry& e = entries_[i];
        events.push_back(MidiEvent{
            e.port, e.frame,
            std::vector<std::uint8_t>(arena_.get() + e.offset, arena_.get() + e.offset + e.size)});
    }
    return events;
}

JackTestClient::JackTestClient(const std::string& name, const std::vector<std::string>& inputs,
                               const std::vector<std::string>& outputs, const std::string& server) {
    int options = JackNoStartServer | JackUseExactName;
    if (!server.empty())
        options |= JackServerName;
    jack_status_t status{};
    client_ = jack_client_open(name.c_str(), static_cast<jack_options_t>(options), &status,
                               server.c_str());
    if (client_ == nullptr)
        return;
    for (const auto& port : inputs) {
        inputs_.push_back(
            jack_port_register(client_, port.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0));
    }
    for (const auto& port : outputs) {
        outputs_.push_back(
            jack_port_register(client_, port.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0));
    }
    jack_set_process_callback(client_, &JackTestClient::processCallback, this);
    jack_on_shutdown(client_, &JackTestClient::shutdownCallback, this);
    if (jack_activate(client_) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
    }
}

JackTestClient::~JackTestClient() {
    if (client_ != nullptr)
        jack_client_close(client_);
}

std::string JackTestClient::inputPort(int index) const {
    return jack_port_name(inputs_.at(static_cast<std::size_t>(index)));
}

std::string JackTestClient::outputPort(int index) const {
    return jack_port_name(outputs_.at(static_cast<std::size_t>(index)));
}

bool JackTestClient::sendInOneCycle(const std::vector<Outgoing>& events) {
    Batch batch;
    std::vector<Outgoing> sorted = events;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Outgoing& a, const Outgoing& b) { return a.offset < b.offset; });
    for (const Outgoing& e : sorted) {
        if (batch.count == kBatchEvents || e.bytes.size() > kEventBytes)
            return false;
        batch.port[batch.count] = e.port;
        batch.offset[batch.count] = e.offset;
        batch.size[batch.count] = static_cast<std::uint8_t>(e.bytes.size());
        std::copy(e.bytes.begin(), e.bytes.end(), batch.bytes[batch.count].begin());
        ++batch.count;
    }
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (!batches_.push(batch)) {
        if (std::chrono::steady_clock::now() >= deadline || gone_.load())
            return false;
        std::this_thread::sleep_for(1ms);
    }
    batchesQueued_.fetch_add(1);
    return true;
}

std::vector<MidiEvent> JackTestClient::received(int port) const {
    std::vector<MidiEvent> events = received_.snapshot();
    std::erase_if(events, [port](const MidiEvent& e) { return e.port != port; });
    return events;
}

bool JackTestClient::waitForReceived(std::size_t count, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (received_.size() < count) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

bool JackTestClient::waitUntilSent(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (batchesWritten_.load() < batchesQueued_.load()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

int JackTestClient::processCallback(jack_nframes_t frames, void* self) noexcept {
    return static_cast<JackTestClient*>(self)->process(frames);
}

void JackTestClient::shutdownCallback(void* self) noexcept {
    static_cast<JackTestClient*>(self)->gone_.store(true);
}

int JackTestClient::process(jack_nframes_t frames) noexcept {
    const std::uint64_t start = jack_last_frame_time(client_);
    std::array<void*, 8> outBuffers{};
    for (std::size_t i = 0; i < outputs_.size() && i < outBuffers.size(); ++i) {
        outBuffers[i] = jack_port_get_buffer(outputs_[i], frames);
        jack_midi_clear_buffer(outBuffers[i]);
    }
    Batch batch;
    if (batches_.pop(batch)) {
        for (std::size_t i = 0; i < batch.count; ++i) {
            const auto port = static_cast<std::size_t>(batch.port[i]);
            if (port >= outputs_.size() || batch.offset[i] >= frames)
                continue;
            if (jack_midi_event_write(outBuffers[port], batch.offset[i], batch.bytes[i].data(),
                                      batch.size[i]) == 0) {
                sent_.append(batch.port[i], start + batch.offset[i], batch.bytes[i].data(),
                             batch.size[i]);
            }
        }
        batchesWritten_.fetch_add(1);
    }
    for (std::size_t p = 0; p < inputs_.size(); ++p) {
        void* buffer = jack_port_get_buffer(inputs_[p], frames);
        const std::uint32_t count = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0)
                continue;
            received_.append(static_cast<int>(p), start + event.time, event.buffer, event.size);
        }
    }
    return 0;
}

bool connectPorts(jack_client_t* client, const std::string& from, const std::string& to) {
    return jack_connect(client, from.c_str(), to.c_str()) == 0;
}

std::string uniqueName(const std::string& base) {
    return base + "-" + std::to_string(::getpid());
}

}  // namespace tarvelo::testing
