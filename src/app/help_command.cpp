#include "app/help_command.h"

#include <cstdio>

namespace tarvelo::app {

int runHelp() {
    std::fputs(
        "Usage: tarvelo [--midi-api API] [FILE.trv]\n"
        "  or:  tarvelo COMMAND [--midi-api API]\n"
        "Live MIDI keyboard splitter. Without a command it opens its window on a new\n"
        "arrangement, or on the arrangement FILE.trv as the Open button would (a file that\n"
        "cannot be read is reported and the window starts on a new arrangement).\n"
        "\n"
        "  -h, --help            show this help and exit\n"
        "      --version         show the version and exit\n"
        "      --list-devices    list the MIDI input and output devices and exit\n"
        "      --reference-files show where midi_msg.mdr and cc.mdr are read from and exit\n"
        "      --headless FILE   load the arrangement FILE, send its initial messages and\n"
        "                        route live MIDI without a window until SIGINT or SIGTERM\n"
        "      --dump FILE       print the arrangement FILE as JSON and exit\n"
        "      --midi-api API    the MIDI system to use: alsa or jack (default: the value of\n"
        "                        TARVELO_MIDI_API, else ALSA when its sequencer is there,\n"
        "                        else JACK)\n",
        stdout);
    return 0;
}

}  // namespace tarvelo::app
