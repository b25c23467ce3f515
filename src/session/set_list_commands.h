#pragma once

#include <string_view>

namespace tarvelo {

class FileCommands;
class FileDialogs;
class LiveSession;
class MessageBoxes;

// Building a set list in the window: adding an arrangement, removing, moving and renaming songs,
// saving the list. Each refusal is said in a Japanese box, and each change marks the list
// modified (FileCommands::setSetListModified), so that New, Open and Close ask about it. Nothing
// here switches songs. User-interface thread.
class SetListCommands {
  public:
    static constexpr std::string_view kSaveArrangementFirst =
        "今の配置はまだファイルに保存されていません。\n"
        "セットリストを作るには、先に今の配置を保存してください。";
    static constexpr std::string_view kCannotRemovePlayed =
        "演奏中の曲はセットリストから外せません。\n先に別の曲に切り替えてください。";
    static constexpr std::string_view kCannotRemoveLast = "セットリストの最後の 1 曲は外せません。";
    static constexpr std::string_view kListFull = "セットリストに入る曲は 128 曲までです。";
    static constexpr std::string_view kBadName =
        "曲名を空にすることはできず、「|」や改行も使えません。";

    // Everything passed in must outlive the commands.
    SetListCommands(LiveSession& session, FileCommands& files, MessageBoxes& boxes,
                    FileDialogs& dialogs);

    // Asks for an arrangement file and adds it as the last song. Without a set list the
    // arrangement played now becomes the first song of a new one, which needs its file: an
    // arrangement never saved is refused before the dialog. True when a song was added.
    bool addSong();
    // Removes song index, after offering to save its changes (Cancel keeps it). The song played
    // now and the last song left are refused.
    bool removeSong(int index);
    // Moves song index one place up (by -1) or down (by +1); false at the list's ends.
    bool moveSong(int index, int by);
    // Renames song index to name without the blanks at its ends; a name left empty or holding a
    // "|" or a line break is refused (a set list line could not hold it).
    bool renameSong(int index, std::string_view name);

  private:
    void refuse(std::string_view text);

    LiveSession& session_;
    FileCommands& files_;
    MessageBoxes& boxes_;
    FileDialogs& dialogs_;
};

}  // namespace tarvelo
