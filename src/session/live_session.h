#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "midi/backend.h"
#include "midi/initial_message_sender.h"
#include "midi/live_router.h"
#include "midi/midi_device_set.h"
#include "midi/owner_mailbox.h"
#include "midi/routing_table.h"
#include "midi/song_book.h"
#include "model/arrangement_codec.h"
#include "model/part_list.h"
#include "model/set_list_file.h"
#include "session/session_host.h"
#include "session/ui_note_player.h"

namespace tarvelo {

// The one owner of the live side: the arrangement, the MIDI devices, the routes the input
// callback reads, the channel-message target and the initial-message sender.
//
// Its operations are what a user means ("move this part to that device", "split here"); each one
// keeps the devices' use counts (every Part holds one use of its output device) and the routes in
// step with the arrangement, so no caller ever releases, acquires or rebuilds anything itself.
//
// Everything runs on the user-interface thread. The MIDI input thread reads the routes, the
// target and the output devices concurrently, lock-free; the device threads post notes and
// completions into the session's mailbox, which the owner drains (drain()) when its wake signal
// fires.
class LiveSession final : public MailboxVisitor, private InitialMessageHost {
  public:
    // backend and host must outlive the session. No device is listed or opened yet. Without a
    // note display the input thread posts no notes at all (noteReceived is never called).
    LiveSession(MidiBackend& backend, SessionHost& host, NoteDisplay display = NoteDisplay::On);
    // A session whose host comes later: a window built over a session its caller owns attaches
    // itself before the session's first operation or drain, and detaches when it goes.
    explicit LiveSession(MidiBackend& backend, NoteDisplay display = NoteDisplay::On);
    ~LiveSession() override;
    LiveSession(const LiveSession&) = delete;
    LiveSession& operator=(const LiveSession&) = delete;

    // Closes every device and lists the system's devices again (the start-up check).
    void listDevices();

    // The default arrangement: one Part "Part1" over keys 0..127 on output device 0, channel 0,
    // the channel-message target, input device 0 open. Lists the devices again first.
    void newArrangement();

    // Reads the arrangement file at path. On success the devices are listed again, every name
    // in the file is looked up (a missing input or Part device is reported in a box and replaced
    // by device 0), the settings of its companion file are taken (see loadCompanionSettings: one
    // that cannot be used is reported in a box and gives the defaults), and its devices are
    // opened. On failure nothing changes. Initial messages are not sent (sendAllInitialMessages).
    std::optional<FileError> load(const std::string& path);

    // Reads the set list at path and every arrangement it names with its companion file, lists
    // the devices again, resolves every song's devices by name (absent ones are kept, as for one
    // arrangement), and plays song firstSong (0-based; clamped into the list): its devices and the
    // input of its arrangement are opened. Every other song is ready to be switched to without
    // reading a file or listing a device. On failure nothing changes and every problem found is
    // returned, in line order (an empty vector: success). Initial messages are not sent
    // (sendAllInitialMessages).
    std::vector<SetListProblem> loadSetList(const std::string& path, int firstSong = 0);

    // The show: one song for a single arrangement; every song of a set list.
    bool playingSetList() const { return setList_; }
    int songCount() const { return static_cast<int>(songs_.size()); }
    // The song the session shows and edits, and whose devices it holds.
    int currentSong() const { return current_; }
    // Song index's entry in the set list (name, program, arrangement path); for a single
    // arrangement, its path and a name from it. Throws InvalidArgumentError outside the songs.
    SetListSong songInfo(int index) const;
    // The set list as it would be saved: its songs and settings.
    SetList setList() const;
    // The set list's file; empty for one not yet saved.
    const std::string& setListPath() const { return setListPath_; }

    // Switches to song index from this thread, as a program change from the input would: the
    // new song's set-up reaches the devices open now at once, then the devices are followed (see
    // followSong). False, and nothing changes, for an index outside the songs.
    bool selectSong(int index);
    bool nextSong() { return selectSong(current_ + 1); }
    bool previousSong() { return selectSong(current_ - 1); }

    // Building the set list in the window. addSong reads the arrangement at path (with its
    // companion) as a new last song, selected by the lowest program number no song has; a single
    // arrangement with a file becomes the first song of a new list (its file is what the list
    // names: save it first). removeSong refuses the song played now and the last song left;
    // moveSong keeps every song's program; renameSong refuses an empty name. saveSetList writes
    // the list (writeSetList) and remembers its path. Nothing is switched by any of them.
    std::optional<FileError> addSong(const std::string& path);
    bool removeSong(int index);
    bool moveSong(int from, int to);
    bool renameSong(int index, std::string name);
    std::optional<FileError> saveSetList(const std::string& path);
    // Whether song index has changes not saved (kept per song, for the file commands).
    bool songModified(int index) const {
        return songs_.at(static_cast<std::size_t>(index))->modified;
    }
    void setSongModified(int index, bool modified) {
        songs_.at(static_cast<std::size_t>(index))->modified = modified;
    }

    // Writes the arrangement, its devices by name, and its companion file (always, so that no
    // earlier companion outlives a save); see writeArrangementFiles.
    // With a set list, the current song's arrangement; Save As also makes the path the song's.
    std::optional<FileError> save(const std::string& path) { return saveSong(current_, path); }
    // The same for song index, played now or not. Throws InvalidArgumentError outside the songs.
    std::optional<FileError> saveSong(int index, const std::string& path);

    // Reopens the MIDI input with device index. A negative index does nothing (false).
    bool setInputDevice(int index);

    // Moves Part part to output device index: its old device loses a use (closing, and so
    // silencing, when it was the last), then the new one gains one. Choosing the device the Part
    // already uses alone therefore closes and reopens it. An index outside the device list
    // changes nothing (false). The channel-message target keeps its snapshot.
    bool setOutputDevice(int part, int index);

    // Field edits of Part part; channel 0..15.
    void setChannel(int part, std::uint8_t channel);
    void setNoteShift(int part, int noteShift);
    void setName(int part, std::string name);

    // Gives Part part the keys lowKey..highKey; its neighbours give up or take over the keys
    // between, so the Parts stay contiguous. False, and nothing changes, when that would move
    // the keyboard's ends or leave a Part without a key.
    bool setRange(int part, int lowKey, int highKey);

    // Splits Part part at key (lowKey < key <= highKey); returns the new upper Part's index.
    int split(int part, int key);

    // Merges Parts first..last into Part keep; returns the merged Part's index (first).
    int join(int first, int last, int keep);

    // Makes Part part the channel-message target, or clears the target for an index outside the
    // Parts (false).
    bool setTarget(int part);

    // Whether Part part also gets the pedals (sustain, sostenuto, soft), and the wheels and
    // pressure (pitch bend, modulation, channel pressure), besides the target. A pedal already
    // down still gets its release wherever it went. Throws InvalidArgumentError for an index
    // outside the Parts.
    void setFollowsPedals(int part, bool follows);
    void setFollowsWheels(int part, bool follows);

    // The input controller (number and value) that triggers the panic action; off by default.
    void setPanicTrigger(const PanicTrigger& trigger);

    // Silences everything the program sent, on every open output a Part or the target uses:
    // a note off for every note known to sound, the pedals up and the pitch bend centred, then
    // All Notes Off and All Sound Off, on every channel (see OutputDevice::panic). The input goes
    // on being routed. The host hears of it afterwards (SessionHost::panicked).
    void panic();

    // The arrangement played now (the current song's, with a set list).
    const PartList& parts() const { return song().parts; }
    // Part part's initial messages, for the editor; editing them changes nothing live (a send
    // copies the list). Throws InvalidArgumentError for an index outside the Parts.
    InitialMessageList& messageList(int part) { return song().parts.messageListAt(part); }
    // The name of Part part's output device; empty when the device is not in the list.
    std::string outputDeviceName(int part) const;

    // The routes the input callback reads: every key a Part covers goes to that Part's device,
    // channel and shift; every other note byte goes nowhere.
    const RoutingTable& routes() const { return song().routes; }
    // Song index's routes, played now or not (where its notes went while it was played). Throws
    // InvalidArgumentError outside the songs.
    const RoutingTable& songRoutes(int index) const;

    // The devices: names, counts, the open input, use counts, the open outputs.
    const MidiDeviceSet& devices() const { return devices_; }

    // Plays notes from this thread through the live arrangement's Parts; shows each played key
    // through the host (SessionHost::notePlayed).
    UiNotePlayer& notePlayer() { return notePlayer_; }

    // Messages the outputs could not take (their buffers and queues were full), counted since the
    // backend was made; the count only grows. Sends to a device that is absent are not among them
    // (MidiDeviceSet::droppedForAbsentDevices): a Part whose device left is silent by design and
    // the host already says the device is gone, so counting them would report a full output once
    // a second for as long as that Part is played.
    std::uint64_t droppedMessages() const { return devices_.backend().droppedMessages(); }

    // Sends Part part's initial messages to its device, or queues them behind the list under
    // way; true when the list was finished within the call.
    bool sendInitialMessages(int part);
    // Sends every Part's list, Part 0 first, each after the previous one's notice came back.
    void sendAllInitialMessages();
    // The host hands back a notice it was given through SessionHost::postInitSent.
    void initialMessagesSent(int part);
    const InitialMessageSender& sender() const { return sender_; }

    // What the device threads post: drained with drain(), woken through mailbox().wakeSignal().
    OwnerMailbox& mailbox() { return mailbox_; }
    // Hands everything the device threads posted to its place: notes and a lost server to the
    // host, completions to the sender, device changes to followDevices().
    void drain() { mailbox_.drain(*this); }

    // Lists the devices again and follows what changed (see MidiDeviceSet::refresh): an output
    // the arrangement uses that came back is reopened, and once its connection exists its Parts'
    // initial messages are sent again, in Part order (the instrument may have been switched off
    // and lost them); the input callback routes to it only once those lists have gone out, so no
    // note reaches it before its program change. An input that came back is reconnected. The
    // host hears of the changes, or, after a lost server, that it is back. Runs on a
    // device-change notice, and whenever relistInterval() has passed.
    void followDevices();

    // How long the owner may wait before calling followDevices() although no change was
    // announced: the backend cannot announce changes, has lost its server and tries again at
    // each listing, or wants the graph listed again until it settles; a device in use waits for
    // its connection. Zero: only when notified. The host hears of a new interval through
    // SessionHost::followUpWanted.
    std::chrono::milliseconds relistInterval() const;

    // Silences and closes every device, the input first.
    void shutdown();

    // Where the session's notices go from now on; null detaches (no operation or drain may then
    // come until a host is attached again). host must outlive its attachment.
    void attachHost(SessionHost* host) { host_ = host; }

    // MailboxVisitor: the device threads' notices, on this thread.
    void onMidiNote(PackedMessage message) override;
    void onLongMessageDone(LongMessageToken token) override;
    void onServerLost() override;
    void onDevicesChanged() override { followDevices(); }
    void onPanicRequested() override { panic(); }
    void onSongSwitched() override { followSong(book_.active()); }

  private:
    // One arrangement as the session plays it: the Parts and what the input callback reads for
    // them. A set list holds one per song; a single arrangement is a show of one song.
    struct Song {
        PartList parts;
        RoutingTable routes;
        ChannelRoutingPublisher channels;
        SetListSong entry;  // its name, program and arrangement file (empty path for a new one)
        bool modified = false;
    };
    static std::vector<std::unique_ptr<Song>> oneSong() {
        std::vector<std::unique_ptr<Song>> songs;
        songs.push_back(std::make_unique<Song>());
        return songs;
    }
    Song& song() { return *songs_[static_cast<std::size_t>(current_)]; }
    const Song& song() const { return *songs_[static_cast<std::size_t>(current_)]; }

    // Follows the input (or selectSong) to song index: opens the devices the new song uses that
    // were not open, sends its initial messages, releases the old song's uses (an output only the
    // old song used closes once nothing sent there sounds: releaseQuietOutputs), and tells the
    // host. Only the last of several quick switches does this work.
    void followSong(int index);
    // Releases the uses of lingering outputs that are quiet now, or shared.
    void releaseQuietOutputs();
    // An arrangement read from path as a song: its devices resolved, its companion's settings
    // taken, named after its file.
    struct ReadSong {
        std::unique_ptr<Song> song;
        int inputDevice = 0;
    };
    ReadSong songFrom(const std::string& path, const StoredArrangement& stored);
    // Replaces the show by songs, plays song first with inputDevice open.
    void replaceShow(std::vector<std::unique_ptr<Song>> songs, int first, int inputDevice);

    // InitialMessageHost
    void postInitSent(int part) override {
        admitSetUpOutputs();
        host_->postInitSent(part);
    }
    MessageBoxes& messageBoxes() override { return host_->messageBoxes(); }
    void reportUnsendable(int part, int index, PackedMessage message,
                          ShortMessageFault fault) override {
        host_->reportUnsendable(part, index, message, fault);
    }

    // Writes every route entry from the Parts (later Parts win where ranges overlap), one store
    // per entry; then publishChannelRouting. Of the current song, or of song s.
    void rebuildRoutes();
    void rebuildRoutes(Song& s);
    // Hands the input callback what it routes channel messages by: the target snapshot, the
    // Parts that follow the pedals and the wheels, the panic controller, the set-up sent as the
    // song is switched to. May wait (briefly) for a running callback.
    void publishChannelRouting();
    void publishChannelRouting(Song& s);
    // Hands the input callback the songs and how they are selected.
    void publishBook();
    // Opens every Part's output device (one use per Part), the routes and target for them, then
    // the input, so the input never routes by a table of an earlier arrangement.
    void openArrangement(int inputDevice);
    // Sends the lists of the Parts on outputs that are connected anew (all of them for a device
    // that came back or appeared, the skipped ones for one connected late); each is routed to
    // once its lists have gone out (admitSetUpOutputs).
    void setUpReadyOutputs(const DeviceListChanges& changes);
    // Lets the input callback route to every output whose set-up has gone out.
    void admitSetUpOutputs();
    // Tells the host how soon followDevices() is wanted again.
    void announceFollowUp();

    SessionHost* host_;
    bool serverAway_ = false;
    // Outputs connected anew, each with the last initial-message request made for its Parts:
    // routed to once the sender has finished it.
    std::map<int, std::uint64_t> awaitingSetUp_;
    std::chrono::milliseconds announcedInterval_{-1};
    // Declared before the devices: they post into it until they are closed.
    OwnerMailbox mailbox_;
    // What the input callback reads; they outlive the devices, which are closed first. Songs are
    // held by pointer so that what the book points at stays put.
    std::vector<std::unique_ptr<Song>> songs_ = oneSong();
    int current_ = 0;  // the song the session shows and edits
    bool setList_ = false;
    SetListSettings setListSettings_;
    std::string setListPath_;
    // One use per entry, of outputs the songs before used, held until they are quiet.
    std::vector<int> lingering_;
    SongBookPublisher book_;
    MidiDeviceSet devices_;
    LiveRouter router_{book_, devices_};
    InitialMessageSender sender_{*this, songs_.front()->parts, devices_};
    UiNotePlayer notePlayer_{*this, [this](PackedMessage message) { host_->notePlayed(message); }};
};

}  // namespace tarvelo
