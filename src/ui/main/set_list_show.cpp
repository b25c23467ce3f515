#include "ui/main/set_list_show.h"

#include "session/live_session.h"

namespace tarvelo::ui {

SetListShow SetListShow::of(const LiveSession& session, const std::string& listFileName,
                            bool listModified) {
    SetListShow show;
    if (!session.playingSetList())
        return show;
    show.playing = true;
    const int count = session.songCount();
    show.current = session.currentSong();
    show.number = std::to_string(show.current + 1) + " / " + std::to_string(count);
    show.name = session.songInfo(show.current).name;
    show.hasPrevious = show.current > 0;
    show.hasNext = show.current + 1 < count;
    show.next = show.hasNext ? "次の曲: " + session.songInfo(show.current + 1).name
                             : std::string("次の曲: なし (最後の曲)");
    show.listName = "セットリスト: " + listFileName + (listModified ? "*" : "");
    for (int i = 0; i < count; ++i) {
        const SetListSong song = session.songInfo(i);
        show.names.push_back(song.name);
        show.entries.push_back((i == show.current ? "▶ " : "    ") + std::to_string(i + 1) + ". " +
                               song.name + (session.songModified(i) ? " *" : ""));
        show.details.push_back(song.path + "\nプログラム " + std::to_string(song.program));
    }
    return show;
}

}  // namespace tarvelo::ui
