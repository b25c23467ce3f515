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
        "                        (with --play: until the file has played and died away)\n"
        "      --dump FILE       print the arrangement FILE as JSON and exit\n"
        "      --midi-api API    the MIDI system to use: alsa, jack or internal (default:\n"
        "                        the value of TARVELO_MIDI_API, else ALSA when its sequencer\n"
        "                        is there, else JACK when a server runs, else internal: the\n"
        "                        program's own system of the built-in synthesizer and the\n"
        "                        virtual input)\n"
        "      --soundfont FILE  the SoundFont (.sf2, .sf3) of the built-in synthesizer\n"
        "                        \"Tarvelo GM Synth\" (default: TARVELO_SOUNDFONT, else\n"
        "                        Debian's FluidR3_GM, else TimGM6mb; none: no synthesizer)\n"
        "      --play FILE.mid   play a Standard MIDI File into \"Tarvelo Virtual In\" as a\n"
        "                        keyboard would (internal or JACK); the arrangement routes\n"
        "                        it when that is its input\n"
        "      --play-channels LIST  play only these channels of the --play file (1 to 16,\n"
        "                        separated by commas, such as 1,2); the file's messages on\n"
        "                        other channels are left out, its system messages kept\n"
        "      --record FILE.wav also write the synthesizer's sound to FILE.wav (stereo,\n"
        "                        16-bit, 48 kHz or the JACK server's rate); with internal,\n"
        "                        --headless and --play it renders faster than real time\n"
        "      --no-audio-connect  leave the synthesizer's JACK audio ports unconnected\n",
        stdout);
    return 0;
}

}  // namespace tarvelo::app
