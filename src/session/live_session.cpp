#include "session/live_session.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <vector>

#include "midi/initial_message_bytes.h"
#include "midi/key_route.h"
#include "model/arrangement_file.h"
#include "session/arrangement_companion.h"
#include "session/arrangement_devices.h"

namespace tarvelo {

namespace {

// Every Part's short initial messages, in Part and list order: what the song sounds like, sent
// as it is switched to.
std::vector<ChannelRouting::SetUpMessage> setUpOf(const PartList& parts) {
    std::vector<ChannelRouting::SetUpMessage> setUp;
    for (int i = 0; i < parts.partCount(); ++i) {
        const Part& p = parts.partAt(i);
        for (const InitialMessage& m : parts.messageListAt(i).messages()) {
            const std::optional<PackedMessage> packed = shortMessageOf(m, p.channel);
            if (packed && isWellFormedShortMessage(*packed))
                setUp.push_back({p.outputDevice, *packed});
        }
    }
    return setUp;
}

bool hasLongMessage(const InitialMessageList& list) {
    return std::any_of(list.messages().begin(), list.messages().end(), [](const InitialMessage& m) {
        return kindOfType(m.type) == MessageKind::SystemExclusive;
    });
}

// How often quiet outputs of an earlier song are looked for while some still sound.
constexpr std::chrono::milliseconds kLingerCheckInterval{100};

}  // namespace

LiveSession::LiveSession(MidiBackend& backend, SessionHost& host, NoteDisplay display)
    : LiveSession(backend, display) {
    host_ = &host;
}

LiveSession::LiveSession(MidiBackend& backend, NoteDisplay display)
    : host_(nullptr), mailbox_(display), devices_(backend) {
    publishBook();
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
    for (const Part& p : song().parts.parts())
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
    std::vector<std::unique_ptr<Song>> songs = oneSong();
    songs.front()->parts.createDefault(0, 127);
    songs.front()->parts.setTarget(0);
    replaceShow(std::move(songs), 0, 0);
    setList_ = false;
}

LiveSession::ReadSong LiveSession::songFrom(const std::string& path,
                                            const StoredArrangement& stored) {
    ResolvedArrangement resolved = resolveDevices(stored, devices_, host_->messageBoxes());
    loadCompanionSettings(path, resolved.parts, host_->messageBoxes());
    ReadSong read{std::make_unique<Song>(), resolved.inputDevice};
    read.song->parts = std::move(resolved.parts);
    read.song->entry.path = path;
    read.song->entry.name = defaultSongName(path);
    return read;
}

std::optional<FileError> LiveSession::load(const std::string& path) {
    ArrangementReadResult read = readArrangementFile(path);
    if (!read.ok())
        return read.error;
    devices_.initialize(&mailbox_);
    ReadSong song = songFrom(path, *read.arrangement);
    std::vector<std::unique_ptr<Song>> songs;
    songs.push_back(std::move(song.song));
    setList_ = false;
    setListPath_.clear();
    setListSettings_ = {};
    replaceShow(std::move(songs), 0, song.inputDevice);
    return std::nullopt;
}

std::vector<SetListProblem> LiveSession::loadSetList(const std::string& path, int firstSong) {
    SetListReadResult read = readSetList(path);
    if (!read.ok())
        return read.problems;
    devices_.initialize(&mailbox_);
    std::vector<std::unique_ptr<Song>> songs;
    const int first = std::clamp(firstSong, 0, static_cast<int>(read.setList->songs.size()) - 1);
    int inputDevice = 0;
    for (std::size_t i = 0; i < read.setList->songs.size(); ++i) {
        const SetListSong& entry = read.setList->songs[i];
        ReadSong song = songFrom(entry.path, read.arrangements[i]);
        song.song->entry = entry;
        // The show has one keyboard: the one its first song names.
        if (static_cast<int>(i) == first)
            inputDevice = song.inputDevice;
        songs.push_back(std::move(song.song));
    }
    setList_ = true;
    setListPath_ = path;
    setListSettings_ = read.setList->settings;
    replaceShow(std::move(songs), first, inputDevice);
    return {};
}

void LiveSession::replaceShow(std::vector<std::unique_ptr<Song>> songs, int first,
                              int inputDevice) {
    // Songs already here take the new ones' content in place, so what the input callback and
    // the sender point at stays valid; surplus songs go once the sender has left them.
    lingering_.clear();
    for (std::size_t i = 0; i < songs.size(); ++i) {
        if (i < songs_.size()) {
            songs_[i]->parts = std::move(songs[i]->parts);
            songs_[i]->entry = std::move(songs[i]->entry);
            songs_[i]->modified = false;
        } else {
            songs_.push_back(std::move(songs[i]));
        }
    }
    sender_.switchParts(songs_[static_cast<std::size_t>(first)]->parts);
    // The book stops naming surplus songs before they go: the input is closed (initialize) and
    // the book is published below, before the input opens again.
    book_.setActive(first);
    const std::size_t count = songs.size();
    if (songs_.size() > count) {
        SongBook shorter;
        shorter.count = 0;
        book_.publish(shorter, [this] { devices_.waitForInputCallback(); });
        songs_.erase(songs_.begin() + static_cast<std::ptrdiff_t>(count), songs_.end());
    }
    current_ = first;
    for (const std::unique_ptr<Song>& s : songs_)
        rebuildRoutes(*s);
    publishBook();
    openArrangement(inputDevice);
}

std::optional<FileError> LiveSession::saveSong(int index, const std::string& path) {
    if (index < 0 || index >= songCount())
        throw InvalidArgumentError("no song " + std::to_string(index));
    Song& s = *songs_[static_cast<std::size_t>(index)];
    if (std::optional<FileError> error = writeArrangementFiles(
            path, storedArrangementOf(s.parts, devices_), companionSettingsOf(s.parts))) {
        return error;
    }
    s.entry.path = path;
    if (!setList_)
        s.entry.name = defaultSongName(path);
    return std::nullopt;
}

SetListSong LiveSession::songInfo(int index) const {
    if (index < 0 || index >= songCount())
        throw InvalidArgumentError("no song " + std::to_string(index));
    return songs_[static_cast<std::size_t>(index)]->entry;
}

const RoutingTable& LiveSession::songRoutes(int index) const {
    if (index < 0 || index >= songCount())
        throw InvalidArgumentError("no song " + std::to_string(index));
    return songs_[static_cast<std::size_t>(index)]->routes;
}

SetList LiveSession::setList() const {
    SetList list;
    list.settings = setListSettings_;
    for (const std::unique_ptr<Song>& s : songs_)
        list.songs.push_back(s->entry);
    return list;
}

bool LiveSession::selectSong(int index) {
    if (index < 0 || index >= songCount())
        return false;
    if (index == current_ && book_.active() == index)
        return true;
    // As the input would: the set-up first, to the devices open now, then the switch.
    for (const ChannelRouting::SetUpMessage& m :
         setUpOf(songs_[static_cast<std::size_t>(index)]->parts)) {
        if (OutputDevice* out = devices_.outputHandle(m.device))
            out->sendSetUp(m.message);
    }
    book_.setActive(index);
    followSong(index);
    return true;
}

void LiveSession::followSong(int index) {
    if (index < 0 || index >= songCount() || index == current_)
        return;
    const auto started = std::chrono::steady_clock::now();
    Song& old = song();
    Song& next = *songs_[static_cast<std::size_t>(index)];
    // The new song's devices first: one it shares with the old song stays open, untouched.
    std::vector<int> opened;
    for (const Part& p : next.parts.parts()) {
        if (devices_.useCount(p.outputDevice) == 0)
            opened.push_back(p.outputDevice);
        devices_.acquireOutputAfterSetUp(p.outputDevice);
    }
    std::sort(opened.begin(), opened.end());
    opened.erase(std::unique(opened.begin(), opened.end()), opened.end());
    devices_.awaitConnections();
    for (const Part& p : old.parts.parts())
        lingering_.push_back(p.outputDevice);
    current_ = index;
    sender_.switchParts(next.parts);
    // A device opened now gets its Parts' whole lists before anything is routed to it; one open
    // already had the short messages in the switching cycle, and gets the lists that hold system
    // exclusive (which may reset it: the short messages after it go again).
    for (int part = 0; part < next.parts.partCount(); ++part) {
        const Part& p = next.parts.partAt(part);
        const bool fresh = std::binary_search(opened.begin(), opened.end(), p.outputDevice);
        if (fresh || hasLongMessage(next.parts.messageListAt(part)))
            sender_.sendForSongSwitch(part);
    }
    for (const int device : opened) {
        if (!devices_.takeReadyForSetUp(device))
            continue;  // connected later: its lists were skipped and follow then
        awaitingSetUp_[device] = sender_.lastRequestId();
    }
    admitSetUpOutputs();
    releaseQuietOutputs();
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - started);
    if (host_ != nullptr)
        host_->songChanged(index, took);
    announceFollowUp();
}

void LiveSession::releaseQuietOutputs() {
    std::erase_if(lingering_, [this](int device) {
        const OutputDevice* out = devices_.outputHandle(device);
        if (devices_.useCount(device) > 1 || out == nullptr || out->isQuiet()) {
            devices_.releaseOutput(device);
            return true;
        }
        return false;
    });
}

std::optional<FileError> LiveSession::addSong(const std::string& path) {
    if (songCount() >= static_cast<int>(SetList::kMaxSongs))
        return FileError{FileErrorKind::CannotOpen, "a set list holds at most 128 songs"};
    if (!setList_ && song().entry.path.empty())
        return FileError{FileErrorKind::CannotOpen, "the arrangement played has no file yet"};
    ArrangementReadResult read = readArrangementFile(path);
    if (!read.ok())
        return read.error;
    std::unique_ptr<Song> added = songFrom(path, *read.arrangement).song;
    std::array<bool, 128> taken{};
    for (const std::unique_ptr<Song>& s : songs_)
        taken[static_cast<std::size_t>(s->entry.program)] = true;
    added->entry.program =
        static_cast<int>(std::find(taken.begin(), taken.end(), false) - taken.begin());
    rebuildRoutes(*added);
    if (!setList_) {
        setList_ = true;
        song().entry.program = 0;
        song().entry.name = defaultSongName(song().entry.path);
    }
    songs_.push_back(std::move(added));
    publishBook();
    return std::nullopt;
}

bool LiveSession::removeSong(int index) {
    if (index < 0 || index >= songCount() || index == current_ || songCount() <= 1)
        return false;
    // The book stops naming the song before it goes.
    std::unique_ptr<Song> removed = std::move(songs_[static_cast<std::size_t>(index)]);
    songs_.erase(songs_.begin() + index);
    if (index < current_)
        --current_;
    book_.setActive(current_);
    publishBook();
    return true;
}

bool LiveSession::moveSong(int from, int to) {
    if (from < 0 || from >= songCount() || to < 0 || to >= songCount())
        return false;
    std::unique_ptr<Song> moved = std::move(songs_[static_cast<std::size_t>(from)]);
    songs_.erase(songs_.begin() + from);
    songs_.insert(songs_.begin() + to, std::move(moved));
    if (current_ == from) {
        current_ = to;
    } else if (from < current_ && to >= current_) {
        --current_;
    } else if (from > current_ && to <= current_) {
        ++current_;
    }
    book_.setActive(current_);
    publishBook();
    return true;
}

bool LiveSession::renameSong(int index, std::string name) {
    if (index < 0 || index >= songCount() || name.empty())
        return false;
    songs_[static_cast<std::size_t>(index)]->entry.name = std::move(name);
    return true;
}

std::optional<FileError> LiveSession::saveSetList(const std::string& path) {
    if (std::optional<FileError> error = writeSetList(path, setList()))
        return error;
    setListPath_ = path;
    setList_ = true;
    return std::nullopt;
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
    Part& p = song().parts.partAt(part);
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
    song().parts.partAt(part).channel = static_cast<std::uint8_t>(channel & 0x0F);
    rebuildRoutes();
}

void LiveSession::setNoteShift(int part, int noteShift) {
    song().parts.partAt(part).noteShift = noteShift;
    rebuildRoutes();
}

void LiveSession::setName(int part, std::string name) {
    song().parts.partAt(part).name = std::move(name);
}

bool LiveSession::setRange(int part, int lowKey, int highKey) {
    if (!song().parts.setRange(part, lowKey, highKey))
        return false;
    rebuildRoutes();
    return true;
}

int LiveSession::split(int part, int key) {
    const int upper = song().parts.splitPart(part, key);
    // Both halves hold a use of the shared device.
    devices_.acquireOutput(song().parts.partAt(upper).outputDevice);
    rebuildRoutes();
    return upper;
}

int LiveSession::join(int first, int last, int keep) {
    song().parts.partAt(keep);  // refuses an index outside the Parts before anything changes
    std::vector<int> released;
    for (int i = first; i <= last; ++i) {
        if (i != keep)
            released.push_back(song().parts.partAt(i).outputDevice);
    }
    const int joined = song().parts.joinParts(first, last, keep);
    for (const int device : released)
        devices_.releaseOutput(device);
    rebuildRoutes();
    return joined;
}

bool LiveSession::setTarget(int part) {
    const bool set = song().parts.setTarget(part);
    publishChannelRouting();
    return set;
}

void LiveSession::setFollowsPedals(int part, bool follows) {
    song().parts.partAt(part).followsPedals = follows;
    publishChannelRouting();
}

void LiveSession::setFollowsWheels(int part, bool follows) {
    song().parts.partAt(part).followsWheels = follows;
    rebuildRoutes();
}

void LiveSession::setPanicTrigger(const PanicTrigger& trigger) {
    song().parts.setPanicTrigger(trigger);
    publishChannelRouting();
}

void LiveSession::panic() {
    std::vector<int> used;
    for (const Part& p : song().parts.parts())
        used.push_back(p.outputDevice);
    if (song().parts.targetPart() >= 0)
        used.push_back(song().parts.targetDevice());
    // An earlier song's outputs that still sound are silenced too.
    used.insert(used.end(), lingering_.begin(), lingering_.end());
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
    return devices_.deviceName(true, song().parts.partAt(part).outputDevice);
}

bool LiveSession::sendInitialMessages(int part) {
    // The list may have been edited: the set-up sent when the song is switched to follows it.
    publishChannelRouting();
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
    releaseQuietOutputs();
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
    std::chrono::milliseconds devices = devices_.followUpInterval();
    if (!lingering_.empty() && (devices <= devices.zero() || kLingerCheckInterval < devices))
        devices = kLingerCheckInterval;
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
        for (int part = 0; part < song().parts.partCount(); ++part) {
            if (song().parts.partAt(part).outputDevice != device)
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
    rebuildRoutes(song());
}

void LiveSession::rebuildRoutes(Song& s) {
    std::array<RouteEntry, RoutingTable::kSize> table{};  // every entry routes nowhere
    for (const Part& p : s.parts.parts()) {
        const RouteEntry entry = routeOf(p);
        for (int k = p.lowKey; k <= p.highKey; ++k)
            table[static_cast<std::size_t>(k)] = entry;
    }
    for (int k = 0; k < RoutingTable::kSize; ++k)
        s.routes.set(k, table[static_cast<std::size_t>(k)]);
    publishChannelRouting(s);
}

void LiveSession::publishChannelRouting() {
    publishChannelRouting(song());
}

void LiveSession::publishChannelRouting(Song& s) {
    const PartList& parts = s.parts;
    ChannelRouting routing;
    routing.targetPart = parts.targetPart();
    routing.target =
        Destination{parts.targetDevice(), static_cast<std::uint8_t>(parts.targetChannel() & 0x0F)};
    for (const Part& p : parts.parts()) {
        const Destination d{p.outputDevice, static_cast<std::uint8_t>(p.channel & 0x0F)};
        // The target gets every channel message anyway: never twice.
        if (routing.targetPart >= 0 && d == routing.target)
            continue;
        if (p.followsPedals)
            routing.pedals.add(d);
        if (p.followsWheels)
            routing.wheels.add(d);
    }
    // A set list's own panic controller, when it has one, serves every song.
    const PanicTrigger& panic = setList_ && setListSettings_.panic.enabled()
                                    ? setListSettings_.panic
                                    : parts.panicTrigger();
    if (panic.enabled()) {
        routing.panicController = panic.controller;
        routing.panicValue = static_cast<std::uint8_t>(panic.value & 0x7F);
    }
    routing.setUp = setUpOf(parts);
    s.channels.publish(routing, [this] { devices_.waitForInputCallback(); });
}

void LiveSession::publishBook() {
    SongBook book;
    book.count = static_cast<int>(songs_.size());
    for (std::size_t i = 0; i < songs_.size(); ++i)
        book.songs[i] = SongRouting{&songs_[i]->routes, &songs_[i]->channels};
    book.selectable = setList_;
    SongSelection& selection = book.selection;
    selection.channel = setListSettings_.channel.value_or(SongSelection::kAnyChannel);
    selection.nextController = setListSettings_.nextController.value_or(SongSelection::kOff);
    selection.previousController =
        setListSettings_.previousController.value_or(SongSelection::kOff);
    for (std::size_t i = 0; i < songs_.size(); ++i)
        selection.songOfProgram[static_cast<std::size_t>(songs_[i]->entry.program & 0x7F)] =
            static_cast<std::int16_t>(i);
    book_.publish(book, [this] { devices_.waitForInputCallback(); });
}

}  // namespace tarvelo
