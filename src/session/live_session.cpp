#include "session/live_session.h"

#include <algorithm>

namespace tarvelo {

LiveSession::LiveSession(MidiBackend& backend, SessionHost& host) : host_(host), parts_(backend) {}

LiveSession::~LiveSession() {
    shutdown();
}

void LiveSession::listDevices() {
    parts_.devices().initialize(&mailbox_);
}

void LiveSession::newArrangement() {
    parts_.createDefault(&mailbox_, 0, 127);
    parts_.setTarget(0);
    parts_.devices().openInput(0);
    rebuildRoutes();
}

std::optional<FileError> LiveSession::load(const std::string& path) {
    if (auto error = loadArrangement(path, parts_, host_.messageBoxes()))
        return error;
    rebuildRoutes();
    return std::nullopt;
}

std::optional<FileError> LiveSession::save(const std::string& path) const {
    return saveArrangement(path, parts_);
}

bool LiveSession::setInputDevice(int index) {
    if (index < 0)
        return false;
    parts_.devices().openInput(index);
    return true;
}

bool LiveSession::setOutputDevice(int part, int index) {
    Part& p = parts_.partAt(part);
    MidiDeviceSet& devices = parts_.devices();
    if (index < 0 || index >= devices.outputCount())
        return false;
    // Release first: a device whose only user picks it again closes and reopens, silenced.
    devices.releaseOutput(p.outputDevice);
    devices.acquireOutput(index);
    p.outputDevice = index;
    rebuildRoutes();
    return true;
}

void LiveSession::setChannel(int part, std::uint8_t channel) {
    parts_.partAt(part).channel = static_cast<std::uint8_t>(channel & 0x0F);
    rebuildRoutes();
}

void LiveSession::setNoteShift(int part, int noteShift) {
    parts_.partAt(part).noteShift = noteShift;
    rebuildRoutes();
}

void LiveSession::setName(int part, std::string name) {
    parts_.partAt(part).name = std::move(name);
}

bool LiveSession::setRange(int part, int lowKey, int highKey) {
    if (!parts_.setRange(part, lowKey, highKey))
        return false;
    rebuildRoutes();
    return true;
}

int LiveSession::split(int part, int key) {
    const int upper = parts_.splitPart(part, key);
    rebuildRoutes();
    return upper;
}

int LiveSession::join(int first, int last, int keep) {
    const int joined = parts_.joinParts(first, last, keep);
    rebuildRoutes();
    return joined;
}

bool LiveSession::setTarget(int part) {
    return parts_.setTarget(part);
}

std::string LiveSession::outputDeviceName(int part) const {
    return devices().deviceName(true, parts_.partAt(part).outputDevice);
}

bool LiveSession::sendInitialMessages(int part) {
    return sender_.sendInitialMessages(part);
}

void LiveSession::sendAllInitialMessages() {
    sender_.sendAllInitialMessages();
}

void LiveSession::initialMessagesSent(int part) {
    sender_.onInitSent(part);
}

void LiveSession::shutdown() {
    parts_.devices().closeAll();
}

void LiveSession::onMidiNote(PackedMessage message) {
    host_.noteReceived(message);
}

void LiveSession::onLongMessageDone(LongMessageToken token) {
    sender_.onLongMessageDone(token);
}

void LiveSession::onServerLost() {
    serverAway_ = true;
    // Nothing is listed while the server is away: every device is closed (so that the backend
    // may reach a server again) and waits, absent, under its name.
    parts_.devices().refresh();
    host_.serverLost();
}

void LiveSession::followDevices() {
    MidiDeviceSet& devices = parts_.devices();
    // A server lost a moment ago whose notice is still on its way: the notice closes everything
    // and says so once, rather than a line per device here.
    if (!serverAway_ && devices.backend().serverLost())
        return;
    const DeviceListChanges changes = devices.refresh();
    if (serverAway_) {
        if (devices.backend().serverLost())
            return;
        // Back: the changes are the whole arrangement coming back, said once.
        serverAway_ = false;
        resendForReturnedOutputs(changes);
        host_.serverBack();
        return;
    }
    if (changes.empty())
        return;
    resendForReturnedOutputs(changes);
    host_.devicesChanged(changes);
}

std::chrono::milliseconds LiveSession::relistInterval() const {
    return parts_.devices().backend().relistInterval();
}

void LiveSession::resendForReturnedOutputs(const DeviceListChanges& changes) {
    const MidiDeviceSet& devices = parts_.devices();
    for (int part = 0; part < parts_.partCount(); ++part) {
        const int device = parts_.partAt(part).outputDevice;
        const bool returned =
            std::any_of(changes.outputs.begin(), changes.outputs.end(), [&](const DeviceChange& c) {
                return c.kind == DeviceChangeKind::Returned && c.index == device;
            });
        if (returned && devices.outputHandle(device) != nullptr)
            sender_.sendInitialMessages(part);
    }
}

void LiveSession::rebuildRoutes() {
    parts_.rebuildRoutes();
}

}  // namespace tarvelo
