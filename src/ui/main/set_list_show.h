#pragma once

#include <string>
#include <vector>

namespace tarvelo {
class LiveSession;
}

namespace tarvelo::ui {

// What the main window's set-list view shows, worked out from the session: large enough words
// for a performer a few steps away, and the list to pick from. Plain data, so every label is
// tested without a widget.
struct SetListShow {
    bool playing = false;  // a set list plays: the view is shown
    std::string number;    // "3 / 12": the song played now, counted from 1, of the list
    std::string name;      // the song played now
    std::string next;      // "次の曲: NAME", or that this is the last song
    std::string listName;  // "セットリスト: FILE", with "*" when the list has changes
    std::vector<std::string> names;  // every song's name
    // "1. NAME" for every song, "▶ " before the one played now and " *" after one with changes
    std::vector<std::string> entries;
    std::vector<std::string> details;  // per song: its file and the program that selects it
    int current = -1;                  // the entry played now
    bool hasPrevious = false;
    bool hasNext = false;

    // For a session without a set list, playing is false and nothing else is set.
    // listFileName: the list's file name (FileCommands::setListName).
    static SetListShow of(const LiveSession& session, const std::string& listFileName,
                          bool listModified);
};

}  // namespace tarvelo::ui
