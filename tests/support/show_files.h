#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "model/arrangement_file.h"

namespace tarvelo::testing {

// A show of three arrangements in a folder, and the set list "show.trvset" naming them "Opener",
// "Ballad" and "Encore": song n (0-based) is "a.trv", "b.trv", "c.trv" with n + 1 Parts split
// evenly at 64, or at 48 and 96; Part i plays on "Out<i>", channel i. Keyboard `input`.
struct ShowFiles {
    static constexpr const char* kNames[] = {"Opener", "Ballad", "Encore"};

    ShowFiles(const std::filesystem::path& folder, const std::string& input) {
        const std::vector<std::vector<int>> lowKeys = {{0}, {0, 64}, {0, 48, 96}};
        std::string text = "# three songs\n";
        for (std::size_t song = 0; song < lowKeys.size(); ++song) {
            StoredArrangement a;
            a.inputDeviceName = input;
            const std::vector<int>& lows = lowKeys[song];
            for (std::size_t i = 0; i < lows.size(); ++i) {
                StoredPart p;
                p.part.name = "P" + std::to_string(i);
                p.part.lowKey = static_cast<std::uint8_t>(lows[i]);
                p.part.highKey =
                    static_cast<std::uint8_t>(i + 1 < lows.size() ? lows[i + 1] - 1 : 127);
                p.part.channel = static_cast<std::uint8_t>(i);
                p.outputDeviceName = "Out" + std::to_string(i);
                a.parts.push_back(p);
            }
            a.nextPartNumber = static_cast<std::int32_t>(lows.size() + 1);
            a.targetPart = 0;
            a.targetDeviceName = "Out0";
            a.targetChannel = 0;
            const std::string name(1, static_cast<char>('a' + song));
            songs.push_back((folder / (name + ".trv")).string());
            writeArrangementFile(songs.back(), a);
            text += name + ".trv | " + kNames[song] + "\n";
        }
        list = (folder / "show.trvset").string();
        std::ofstream(list) << text;
    }

    std::vector<std::string> songs;
    std::string list;
};

}  // namespace tarvelo::testing
