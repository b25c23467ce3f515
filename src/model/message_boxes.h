#pragma once

#include <string_view>

namespace tarvelo {

enum class MessageButtons { Ok, YesNoCancel };
enum class MessageIcon { None, Information, Warning, Error };
enum class MessageAnswer { Ok, Yes, No, Cancel };

// Where the program's fixed message boxes go: real boxes in the window, scripted answers in
// tests, standard error in the headless runner. Texts are UTF-8.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // User-interface thread. An empty caption means the application's title.
    virtual MessageAnswer show(std::string_view text, std::string_view caption,
                               MessageButtons buttons, MessageIcon icon) = 0;
};

}  // namespace tarvelo
