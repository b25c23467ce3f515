#include "midi/initial_message_sender.h"

#include <algorithm>

#include "midi/initial_message_bytes.h"
#include "midi/midi_device_set.h"
#include "model/message_boxes.h"
#include "model/part_list.h"

namespace tarvelo {

bool InitialMessageSender::sendInitialMessages(int part) {
    return request(part, 0);
}

bool InitialMessageSender::sendForSongSwitch(int part) {
    return request(part, 0, true);
}

void InitialMessageSender::sendAllInitialMessages() {
    const std::uint64_t sequence = nextSequence_++;
    if (parts_->partCount() <= 0) {
        sequence_.reset();
        return;
    }
    sequence_ = sequence;
    request(0, sequence);
}

bool InitialMessageSender::request(int part, std::uint64_t sequence, bool skipKnownPrograms) {
    const Part& p = parts_->partAt(part);
    Request r;
    r.part = part;
    r.device = p.outputDevice;
    r.channel = p.channel;
    r.messages = parts_->messageListAt(part).messages();
    r.sequence = sequence;
    r.id = nextRequestId_++;
    r.skipKnownPrograms = skipKnownPrograms;
    const std::uint64_t id = r.id;
    queue_.push_back(std::move(r));
    pump();
    return finishedUpTo_ >= id;
}

void InitialMessageSender::pump() {
    // A message box shown while a list is sent may run a nested event loop that delivers
    // notices and requests; those only queue, and the outermost pump serves them.
    if (pumping_)
        return;
    struct Guard {
        bool& flag;
        explicit Guard(bool& f) : flag(f) { flag = true; }
        ~Guard() { flag = false; }
    } guard(pumping_);

    for (;;) {
        if (!current_) {
            if (queue_.empty())
                return;
            current_.emplace(Run{std::move(queue_.front()), 0, std::nullopt});
            queue_.pop_front();
        } else if (current_->inFlight) {
            return;
        }
        if (!continueRun(*current_))
            return;
        const Run done = std::move(*current_);
        current_.reset();
        finishRun(done);
    }
}

bool InitialMessageSender::continueRun(Run& run) {
    const std::vector<InitialMessage>& messages = run.request.messages;
    if (run.next == 0 && devices_.waitingForConnection(run.request.device)) {
        const Skipped skip{run.request.part, run.request.device};
        const bool known = std::any_of(skipped_.begin(), skipped_.end(), [&](const Skipped& s) {
            return s.part == skip.part && s.device == skip.device;
        });
        if (!known)
            skipped_.push_back(skip);
        return true;
    }
    while (run.next < messages.size()) {
        const InitialMessage& m = messages[run.next++];
        // Looked up per message: the device may have been closed since the list started.
        OutputDevice* out = devices_.outputHandle(run.request.device);
        switch (kindOfType(m.type)) {
            case MessageKind::Channel:
            case MessageKind::Plain: {
                const PackedMessage packed = *shortMessageOf(m, run.request.channel);
                // The device layer would drop it too; saying so here lets the user find it.
                if (const ShortMessageFault fault = shortMessageFault(packed);
                    fault != ShortMessageFault::None) {
                    host_.reportUnsendable(run.request.part, static_cast<int>(run.next - 1), packed,
                                           fault);
                } else if (out && run.request.skipKnownPrograms) {
                    out->sendSetUp(packed);
                } else if (out) {
                    out->sendShort(packed);
                }
                break;
            }
            case MessageKind::SystemExclusive:
                // A closed device, or a message without bytes, yields no completion: such a
                // message counts as done at once instead of stalling the list forever.
                if (out && !m.sysexData.empty()) {
                    const LongMessageToken token = nextToken_++;
                    run.inFlight = token;
                    // The bytes live in run.request.messages, which stays put until the
                    // completion of this token.
                    out->sendLong(m.sysexData, token);
                    return false;
                }
                break;
            case MessageKind::Unknown:
                host_.messageBoxes().show(kUnknownMessageText, "", MessageButtons::Ok,
                                          MessageIcon::None);
                break;
        }
    }
    return true;
}

void InitialMessageSender::finishRun(const Run& run) {
    finishedUpTo_ = std::max(run.request.id, droppedUpTo_);
    posted_.push_back(PostedNotice{run.request.part, run.request.sequence});
    host_.postInitSent(run.request.part);
}

void InitialMessageSender::onLongMessageDone(LongMessageToken token) {
    if (!current_ || current_->inFlight != token)
        return;
    current_->inFlight.reset();
    pump();
}

void InitialMessageSender::onInitSent(int part) {
    const auto it = std::find_if(posted_.begin(), posted_.end(),
                                 [part](const PostedNotice& n) { return n.part == part; });
    if (it == posted_.end())
        return;
    const PostedNotice notice = *it;
    posted_.erase(it);
    if (notice.sequence == 0 || sequence_ != notice.sequence)
        return;
    const int next = notice.part + 1;
    if (next < parts_->partCount()) {
        request(next, notice.sequence);
    } else {
        sequence_.reset();
    }
}

void InitialMessageSender::switchParts(const PartList& parts) {
    parts_ = &parts;
    sequence_.reset();
    if (!queue_.empty()) {
        droppedUpTo_ = lastRequestId();
        if (!current_)
            finishedUpTo_ = droppedUpTo_;
    }
    queue_.clear();
    skipped_.clear();
}

std::vector<int> InitialMessageSender::takeSkipped(int device) {
    std::vector<int> parts;
    std::erase_if(skipped_, [&](const Skipped& s) {
        if (s.device != device)
            return false;
        parts.push_back(s.part);
        return true;
    });
    return parts;
}

std::optional<LongMessageToken> InitialMessageSender::tokenInFlight() const {
    if (!current_)
        return std::nullopt;
    return current_->inFlight;
}

}  // namespace tarvelo
