#include "session/live_session.h"

#include <algorithm>
#include <array>
#include <vector>

#include "midi/key_route.h"
#include "model/arrangement_file.h"
#include "session/arrangement_companion.h"
#include "session/arrangement_devices.h"

namespace tarvelo {

LiveSession::LiveSession(MidiBackend& backend, SessionHost& host, NoteDisplay display)
    : LiveSession(backend, display) {
    host_ = &host;
}

LiveSession::LiveSession(MidiBackend& backend, NoteDisplay display)
    : host_(nullptr), mailbox_(display), devices_(backend) {
    devices_.setInputHandler(&router_);
}

LiveSession::~LiveSession() {
    // The input closes before the router it calls goes away.
    shutdown();
}

void LiveSession::listDevices() {
    devices_.initialize(&mailbox_);
}

void LiveSession::openArrangement(int inputDevice) {
    awaitingSetUp_.clear();
    for (const Part& p : parts_.parts())
        devices_.acquireOutput(p.outputDevice);
    // The outputs carry data before the input can play into them.
    devices_.awaitConnections();
    rebuildRoutes();
    devices_.openInput(inputDevice);
    devices_.awaitConnections();
    announceFollowUp();
}

void LiveSession::newArrangement() {
    devices_.initialize(&mailbox_);
    parts_.createDefault(0, 127);
    parts_.setTarget(0);
    openArrangement(0);
}

std::optional<FileError> LiveSession::load(const std::string& path) {
    ArrangementReadResult read = readArrangementFile(path);
    if (!read.ok())
        return read.error;
    devices_.initialize(&mailbox_);
    ResolvedArrangement resolved =
        resolveDevices(*read.arrangement, devices_, host_->messageBoxes());
    loadCompanionSettings(path, resolved.parts, host_->messageBoxes());
    parts_ = std::move(resolved.parts);
    openArrangement(resolved.inputDevice);
    return std::nullopt;
}

std::optional<FileError> LiveSession::save(const std::string& path) const {
    return writeArrangementFiles(path, storedArrangementOf(parts_, devices_),
                                 companionSettingsOf(parts_));
}

bool LiveSession::setInputDevice(int index) {
    if (index < 0)
        return false;
    devices_.openInput(index);
    devices_.awaitConnections();
    announceFollowUp();
    return true;
}

bool LiveSession::setOutputDevice(int part, int index) {
    Part& p = parts_.partAt(part);
    if (index < 0 || index >= devices_.outputCount())
        return false;
    // Release first: a device whose only user picks it again closes and reopens, silenced.
    devices_.releaseOutput(p.outputDevice);
    devices_.acquireOutput(index);
    devices_.awaitConnections();
    p.outputDevice = index;
    rebuildRoutes();
    announceFollowUp();
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
    // Both halves hold a use of the shared device.
    devices_.acquireOutput(parts_.partAt(upper).outputDevice);
    rebuildRoutes();
    return upper;
}

int LiveSession::join(int first, int last, int keep) {
    parts_.partAt(keep);  // refuses an index outside the Parts before anything changes
    std::vector<int> released;
    for (int i = first; i <= last; ++i) {
        if (i != keep)
            released.push_back(parts_.partAt(i).outputDevice);
    }
    const int joined = parts_.joinParts(first, last, keep);
    for (const int device : released)
        devices_.releaseOutput(device);
    rebuildRoutes();
    return joined;
}

bool LiveSession::setTarget(int part) {
    const bool set = parts_.setTarget(part);
    publishChannelRouting();
    return set;
}

void LiveSession::setFollowsPedals(int part, bool follows) {
    parts_.partAt(part).followsPedals = follows;
    publishChannelRouting();
}

void LiveSession::setFollowsWheels(int part, bool follows) {
    parts_.partAt(part).followsWheels = follows;
    rebuildRoutes();
}

void LiveSession::setPanicTrigger(const PanicTrigger& trigger) {
    parts_.setPanicTrigger(trigger);
    publishChannelRouting();
}

void LiveSession::panic() {
    std::vector<int> used;
    for (const Part& p : parts_.parts())
        used.push_back(p.outputDevice);
    if (parts_.targetPart() >= 0)
        used.push_back(parts_.targetDevice());
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());
    for (const int device : used) {
        if (OutputDevice* out = devices_.outputHandle(device))
            out->panic();
    }
    if (host_)
        host_->panicked();
}

std::string LiveSession::outputDeviceName(int part) const {
    return devices_.deviceName(true, parts_.partAt(part).outputDevice);
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
    devices_.closeAll();
}

void LiveSession::onMidiNote(PackedMessage message) {
    host_->noteReceived(message);
}

void LiveSession::onLongMessageDone(LongMessageToken token) {
    sender_.onLongMessageDone(token);
}

void LiveSession::onServerLost() {
    serverAway_ = true;
    // Nothing is listed while the server is away: every device is closed (so that the backend
    // may reach a server again) and waits, absent, under its name.
    devices_.refresh();
    awaitingSetUp_.clear();
    host_->serverLost();
    announceFollowUp();
}

void LiveSession::followDevices() {
    // A server lost a moment ago whose notice is still on its way: the notice closes everything
    // and says so once, rather than a line per device here.
    if (!serverAway_ && devices_.backend().serverLost())
        return;
    const DeviceListChanges changes = devices_.refresh();
    setUpReadyOutputs(changes);
    if (serverAway_) {
        if (devices_.backend().serverLost()) {
            announceFollowUp();
            return;
        }
        // Back: the changes are the whole arrangement coming back, said once.
        serverAway_ = false;
        host_->serverBack();
    } else if (!changes.empty()) {
        host_->devicesChanged(changes);
    }
    announceFollowUp();
}

std::chrono::milliseconds LiveSession::relistInterval() const {
    const std::chrono::milliseconds backend = devices_.backend().relistInterval();
    const std::chrono::milliseconds devices = devices_.followUpInterval();
    if (backend <= backend.zero())
        return devices;
    if (devices <= devices.zero())
        return backend;
    return std::min(backend, devices);
}

void LiveSession::announceFollowUp() {
    const std::chrono::milliseconds interval = relistInterval();
    if (interval == announcedInterval_ || host_ == nullptr)
        return;
    announcedInterval_ = interval;
    host_->followUpWanted(interval);
}

void LiveSession::setUpReadyOutputs(const DeviceListChanges& changes) {
    for (const int device : changes.readyOutputs) {
        // A device that came back may have lost its set-up (switched off): every Part on it is
        // set up again. One connected late gets the lists that could not reach it.
        const bool cameBack =
            std::any_of(changes.outputs.begin(), changes.outputs.end(),
                        [device](const DeviceChange& c) { return c.index == device; });
        std::vector<int> skipped = sender_.takeSkipped(device);
        bool requested = false;
        for (int part = 0; part < parts_.partCount(); ++part) {
            if (parts_.partAt(part).outputDevice != device)
                continue;
            if (!cameBack && std::find(skipped.begin(), skipped.end(), part) == skipped.end())
                continue;
            sender_.sendInitialMessages(part);
            requested = true;
        }
        if (requested) {
            awaitingSetUp_[device] = sender_.lastRequestId();
        } else {
            devices_.admitRouting(device);
        }
    }
    admitSetUpOutputs();
}

void LiveSession::admitSetUpOutputs() {
    for (auto it = awaitingSetUp_.begin(); it != awaitingSetUp_.end();) {
        if (!sender_.finished(it->second)) {
            ++it;
            continue;
        }
        devices_.admitRouting(it->first);
        it = awaitingSetUp_.erase(it);
    }
}

void LiveSession::rebuildRoutes() {
    std::array<RouteEntry, RoutingTable::kSize> table{};  // every entry routes nowhere
    for (const Part& p : parts_.parts()) {
        const RouteEntry entry = routeOf(p);
        for (int k = p.lowKey; k <= p.highKey; ++k)
            table[static_cast<std::size_t>(k)] = entry;
    }
    for (int k = 0; k < RoutingTable::kSize; ++k)
        routes_.set(k, table[static_cast<std::size_t>(k)]);
    publishChannelRouting();
}

void LiveSession::publishChannelRouting() {
    ChannelRouting routing;
    routing.targetPart = parts_.targetPart();
    routing.target = Destination{parts_.targetDevice(),
                                 static_cast<std::uint8_t>(parts_.targetChannel() & 0x0F)};
    for (const Part& p : parts_.parts()) {
        const Destination d{p.outputDevice, static_cast<std::uint8_t>(p.channel & 0x0F)};
        // The target gets every channel message anyway: never twice.
        if (routing.targetPart >= 0 && d == routing.target)
            continue;
        if (p.followsPedals)
            routing.pedals.add(d);
        if (p.followsWheels)
            routing.wheels.add(d);
    }
    if (const PanicTrigger& panic = parts_.panicTrigger(); panic.enabled()) {
        routing.panicController = panic.controller;
        routing.panicValue = static_cast<std::uint8_t>(panic.value & 0x7F);
    }
    channels_.publish(routing, [this] { devices_.waitForInputCallback(); });
}

}  // namespace tarvelo
