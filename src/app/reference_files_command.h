#pragma once

namespace tarvelo::app {

// Prints, for each reference file (midi_msg.mdr, cc.mdr), the path the window reads it from and
// how many entries it holds, or that it cannot be loaded and the directories searched. Returns
// the exit status: 0, or 1 when a file cannot be loaded.
int runReferenceFiles();

}  // namespace tarvelo::app
