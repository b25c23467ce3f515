#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "midi/audio_host.h"
#include "midi/packed_message.h"

namespace tarvelo {

// Identifies one long (system-exclusive) message from its send until its completion.
using LongMessageToken = std::uint64_t;

// What became of a message sent from the input thread.
enum class SendResult : std::uint8_t {
    Written,   // in the device's hands (for JACK: in this cycle's buffer)
    Deferred,  // held back, in order, to go out in a following cycle
    Dropped,   // lost; the backend counts it
};

// Receives the short messages of an open input device.
class InputHandler {
  public:
    virtual ~InputHandler() = default;
    // Thread: the backend's MIDI input thread (for JACK, inside the process callback), one call at
    // a time. Must not block, lock or allocate. Outputs may be written from here through
    // MidiOutputPort::sendFromInput only.
    virtual void onShortMessage(PackedMessage message) noexcept = 0;

    // User-interface thread: the input device was closed; no call is running or will run until
    // the next open.
    virtual void inputClosed() {}
};

// Learns when a device has finished with the bytes of a long message.
class LongMessageListener {
  public:
    virtual ~LongMessageListener() = default;
    // Thread: chosen by the backend, but always the same one thread for one backend instance
    // (JACK: the process thread; virtual: the thread that sends or releases). Must not block.
    virtual void longMessageDone(LongMessageToken token) noexcept = 0;
};

// Hears that the backend lost its server (JACK shutdown).
class ServerLostListener {
  public:
    virtual ~ServerLostListener() = default;
    // Thread: any (JACK's shutdown thread). Must not block.
    virtual void serverLost() noexcept = 0;
};

// Hears that the system's device lists changed: a device arrived, left or was renamed. The notice
// carries no details; the owner lists the devices again and compares names, so notices that come
// in a burst (a client registering several ports) cost one listing.
class DeviceChangeListener {
  public:
    virtual ~DeviceChangeListener() = default;
    // Thread: any (JACK's notification thread, the thread that changes a virtual device). Must
    // not block, lock or allocate: it only posts.
    virtual void devicesChanged() noexcept = 0;
};

// An open input device. Destroying it stops and closes the device; once the destructor returns
// the handler is not called any more and is not referenced.
class MidiInputPort {
  public:
    virtual ~MidiInputPort() = default;
    // User-interface thread.
    virtual void start() = 0;

    // User-interface thread: the connection to the device exists, so what it plays reaches the
    // handler. A port whose connection the system refused at the open (a JACK client whose ports
    // exist before it is active) tries again, at most about every 250 ms, whenever asked. Never
    // blocks on the device.
    virtual bool connected() { return true; }
};

// An open output device. All functions but sendFromInput run on the user-interface thread.
// Destroying it closes the device; every long message still pending is reported done first
// (or from the destructor), so no token is left without its completion.
class MidiOutputPort {
  public:
    virtual ~MidiOutputPort() = default;

    // Thread: the MIDI input thread, only from inside InputHandler::onShortMessage. Lock-free,
    // allocation-free. For JACK the message leaves in the current cycle at the current frame, or,
    // when that cycle's buffer is full, in order in a following one.
    // The message is well formed (the device layer checks).
    virtual SendResult sendFromInput(PackedMessage message) noexcept = 0;

    // User-interface thread. Sends from this thread leave in call order; they may interleave with
    // sendFromInput messages but never corrupt them.
    virtual void sendShort(PackedMessage message) = 0;

    // User-interface thread. The bytes stay valid and unchanged until the listener hears of the
    // token; the backend must not read them afterwards.
    virtual void sendLong(std::span<const std::uint8_t> bytes, LongMessageToken token) = 0;

    // User-interface thread: called after the device layer has sent its own silencing messages;
    // pushes out whatever is queued (a backend with no queue does nothing).
    virtual void flush() {}

    // User-interface thread: the connection to the device exists and carries what is sent from
    // now on. Until it does, whatever is sent may be lost, so the device layer sends nothing. A
    // port whose connection the system refused at the open tries again, at most about every
    // 250 ms, whenever asked. Never blocks on the device.
    virtual bool connected() { return true; }
};

// The system's MIDI services: one implementation per API (virtual, JACK, ALSA sequencer).
// All functions run on the user-interface thread.
class MidiBackend {
  public:
    virtual ~MidiBackend() = default;

    // "virtual", "jack", "alsa", ...
    virtual std::string_view apiName() const = 0;

    // The devices present now, in the system's enumeration order. Names identify devices in
    // arrangement files, so they carry no numbers that change from run to run.
    virtual std::vector<std::string> inputNames() = 0;
    virtual std::vector<std::string> outputNames() = 0;

    // Opens a device by name; null when the system refuses (the caller stays silent about it).
    virtual std::unique_ptr<MidiInputPort> openInput(const std::string& name,
                                                     InputHandler& handler) = 0;
    virtual std::unique_ptr<MidiOutputPort> openOutput(const std::string& name,
                                                       LongMessageListener& listener) = 0;

    // True once the backend has lost its server (JACK shutdown); devices then stay silent until
    // the backend finds a server again (it tries when devices are listed, once every device of
    // the lost connection has been closed).
    virtual bool serverLost() const { return false; }

    // Who hears of a lost server; null for nobody. Set before devices are opened.
    virtual void setServerLostListener(ServerLostListener* listener) { (void)listener; }

    // Messages the backend could not send (buffers and queues full), counted since it was made;
    // the count only grows.
    virtual std::uint64_t droppedMessages() const { return 0; }
    // Who hears of devices arriving, leaving or being renamed; null for nobody. Set before
    // devices are opened.
    virtual void setDeviceChangeListener(DeviceChangeListener* listener) { (void)listener; }

    // How soon the owner should list the devices again although no change was announced: the
    // backend cannot announce changes (it is polled instead), or it has no server and tries to
    // reach one at each listing. Zero while every change is announced.
    virtual std::chrono::milliseconds relistInterval() const { return {}; }

    // Blocks up to limit: returns once the connections asked for by the opens made so far exist
    // and carry data, so that the devices' connected() answers at once. Returns at once when
    // none is on its way (a system whose opens connect at once, or refused connections, which
    // are tried again later instead). User-interface thread.
    virtual void awaitConnections(std::chrono::milliseconds limit) { (void)limit; }

    // The system's own audio output, when it has one that runs in step with its MIDI (JACK);
    // null otherwise.
    virtual AudioHost* audioHost() { return nullptr; }

    // Reports, on the thread this backend reports completions on, that a long message whose
    // bytes a device has already copied is done (an in-process device finishes at once).
    virtual void reportLongMessageDone(LongMessageListener& listener, LongMessageToken token) {
        listener.longMessageDone(token);
    }
};

}  // namespace tarvelo
