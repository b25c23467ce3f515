#pragma once

#include <deque>
#include <string>
#include <vector>

#include "model/message_boxes.h"

namespace tarvelo::testing {

// Message boxes for tests: records every box and answers from a script. An unscripted question
// fails the test through `unexpected`; an Ok box needs no script.
class ScriptedMessageBoxes : public MessageBoxes {
  public:
    struct Shown {
        std::string text;
        std::string caption;
        MessageButtons buttons;
        MessageIcon icon;
    };

    MessageAnswer show(std::string_view text, std::string_view caption, MessageButtons buttons,
                       MessageIcon icon) override {
        shown.push_back(Shown{std::string(text), std::string(caption), buttons, icon});
        if (buttons == MessageButtons::Ok)
            return MessageAnswer::Ok;
        if (answers.empty()) {
            ++unexpected;
            return MessageAnswer::Cancel;
        }
        const MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const Shown& s : shown)
            out.push_back(s.text);
        return out;
    }

    std::deque<MessageAnswer> answers;
    std::vector<Shown> shown;
    int unexpected = 0;
};

}  // namespace tarvelo::testing
