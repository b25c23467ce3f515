#include "app/command_line.h"

#include <CLI/CLI.hpp>

#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvelo::app {

namespace {

// What the options are read into, before the whole line is checked.
struct Reading {
    CommandLine line;
    std::string api;
    std::string playChannels;
    std::string song;
    bool noAudioConnect = false;
    // The options that select a command, and which.
    std::vector<std::pair<const CLI::Option*, Command>> commands;
    // The options that take a value, where it goes, and what to say when it is missing.
    struct ValueOption {
        const CLI::Option* option;
        const std::string* value;
        std::string missing;
    };
    std::vector<ValueOption> needsValue;
};

// The kinds of option the table below is made of. Each value may come as the next argument or
// after '='; one given twice takes its last value; a missing value is left empty and reported
// with `missing` after the parse, in our words.
class OptionTable {
  public:
    OptionTable(CLI::App& app, Reading& reading) : app_(app), reading_(reading) {}

    void command(const char* names, Command command, const char* description) {
        const std::string text(description);
        reading_.commands.emplace_back(app_.add_flag(names, text), command);
    }
    void commandWithFile(const char* name, Command command, std::string& file,
                         const char* description) {
        reading_.commands.emplace_back(
            value(name, "FILE", file, "option '" + std::string(name) + "' needs a file",
                  description),
            command);
    }
    void file(const char* name, const char* valueName, std::string& file, const char* description) {
        value(name, valueName, file, "option '" + std::string(name) + "' needs a file",
              description);
    }
    void text(const char* name, const char* valueName, std::string& text, std::string missing,
              const char* description) {
        value(name, valueName, text, std::move(missing), description);
    }
    void flag(const char* name, bool& set, const char* description) {
        app_.add_flag(name, set, description);
    }

  private:
    const CLI::Option* value(const char* name, const char* valueName, std::string& into,
                             std::string missing, const char* description) {
        const CLI::Option* option = app_.add_option(name, into, description)
                                        ->type_name(valueName)
                                        ->expected(0, 1)
                                        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
        reading_.needsValue.push_back({option, &into, std::move(missing)});
        return option;
    }

    CLI::App& app_;
    Reading& reading_;
};

// The program's options, in the order --help lists them. A new option is one more entry here and
// one in data/tarvelo.1.in (a test checks that every option listed here is there).
void describeOptions(CLI::App& app, Reading& r) {
    OptionTable table(app, r);
    table.command("-h,--help", Command::Help, "show this help and exit");
    table.command("--version", Command::Version, "show the version and exit");
    table.command("--list-devices", Command::ListDevices,
                  "list the MIDI input and output devices and exit");
    table.command("--reference-files", Command::ReferenceFiles,
                  "show where midi_msg.mdr and cc.mdr are read from and exit");
    table.commandWithFile("--headless", Command::Headless, r.line.file,
                          "load the arrangement or set list FILE, send its initial\n"
                          "messages and route live MIDI without a window until SIGINT\n"
                          "or SIGTERM (with --play: until the file has played and died\n"
                          "away); SIGUSR1 silences every output; with a set list,\n"
                          "SIGUSR2 selects the next song");
    table.commandWithFile("--dump", Command::Dump, r.line.file,
                          "print the arrangement FILE as JSON and exit");
    table.text("--midi-api", "API", r.api,
               "option '--midi-api' needs a value: alsa, jack or internal",
               "the MIDI system to use: alsa, jack or internal (default:\n"
               "the value of TARVELO_MIDI_API, else ALSA when its sequencer\n"
               "is there, else JACK when a server runs, else internal: the\n"
               "program's own system of the built-in synthesizer and the\n"
               "virtual input)");
    table.text("--song", "N", r.song, "option '--song' needs a song number",
               "start a set list with its song N (1 for the first)");
    table.file("--soundfont", "FILE", r.line.midi.soundFont,
               "the SoundFont (.sf2, .sf3) of the built-in synthesizer\n"
               "\"Tarvelo GM Synth\" (default: TARVELO_SOUNDFONT, else\n"
               "Debian's FluidR3_GM, else TimGM6mb; none: no synthesizer)");
    table.file("--play", "FILE.mid", r.line.midi.play,
               "play a Standard MIDI File into \"Tarvelo Virtual In\" as a\n"
               "keyboard would (internal or JACK); the arrangement routes\n"
               "it when that is its input");
    table.text("--play-channels", "LIST", r.playChannels,
               "option '--play-channels' needs a list of channels, such as 1,2",
               "play only these channels of the --play file (1 to 16,\n"
               "separated by commas, such as 1,2); the file's messages on\n"
               "other channels are left out, its system messages kept");
    table.file("--record", "FILE.wav", r.line.midi.record,
               "also write the synthesizer's sound to FILE.wav (stereo,\n"
               "16-bit, 48 kHz or the JACK server's rate); with internal,\n"
               "--headless and --play it renders faster than real time");
    table.flag("--no-audio-connect", r.noAudioConnect,
               "leave the synthesizer's JACK audio ports unconnected");
    app.add_option("FILE.trv", r.line.openFile, "the arrangement or set list the window opens");
}

// The parser over the table; arguments it does not know are left for check() to name.
void setUp(CLI::App& app, Reading& reading) {
    app.set_help_flag();
    app.allow_extras();
    describeOptions(app, reading);
}

// What CLI11 would take otherwise: a lone "-" (a file to it, standard input to some programs)
// and a flag given a value ("--version=3"), before "--". Empty when there is none.
std::string unknownArgument(const CLI::App& app, int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--")
            break;
        if (arg == "-")
            return std::string(arg);
        const std::size_t equals = arg.find('=');
        if (!arg.starts_with("--") || equals == std::string_view::npos)
            continue;
        const CLI::Option* option = app.get_option_no_throw(std::string(arg.substr(0, equals)));
        if (option != nullptr && option->get_expected_max() == 0)
            return std::string(arg);
    }
    return {};
}

// The whole line, once parsed: the first thing wrong with it, in our words.
std::string check(const CLI::App& app, Reading& r) {
    bool optionsEnded = false;
    for (const std::string& extra : app.remaining()) {
        if (!optionsEnded && extra == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && extra.starts_with('-')) {
            return "unknown option '" + extra + "'";
        } else {
            return "only one arrangement file can be opened";
        }
    }
    for (const Reading::ValueOption& given : r.needsValue) {
        if (given.option->count() > 0 && given.value->empty())
            return given.missing;
    }
    for (const CLI::Option* option : app.parse_order()) {
        for (const auto& [commandOption, command] : r.commands) {
            if (commandOption != option)
                continue;
            if (r.line.command != Command::None && r.line.command != command)
                return "'" + option->get_name() + "' cannot be combined with another command";
            r.line.command = command;
        }
    }
    if (!r.api.empty()) {
        if (r.api != "alsa" && r.api != "jack" && r.api != "internal")
            return "unknown MIDI API '" + r.api + "' (alsa, jack or internal)";
        r.line.midi.api = r.api;
    }
    if (!r.playChannels.empty()) {
        const auto channels = parseChannelList(r.playChannels);
        if (!channels)
            return "'" + r.playChannels + "' is not a list of channels 1 to 16 separated by commas";
        if (r.line.midi.play.empty())
            return "option '--play-channels' needs --play";
        r.line.midi.playChannels = *channels;
    }
    if (!r.song.empty()) {
        const bool digits = r.song.find_first_not_of("0123456789") == std::string::npos;
        const int number = digits && r.song.size() <= 3 ? std::stoi(r.song) : 0;
        if (number < 1 || number > 128)
            return "'" + r.song + "' is not a song number 1 to 128";
        r.line.song = number - 1;
        if (r.line.openFile.empty() && r.line.command != Command::Headless)
            return "option '--song' needs a set list to play (a file to open, or --headless)";
    }
    r.line.midi.connectAudio = !r.noAudioConnect;
    if (!r.line.openFile.empty() && r.line.command != Command::None)
        return "a file to open cannot be combined with a command: '" + r.line.openFile + "'";
    return {};
}

// One option's entry in the usage: "  -h, --help" or "      --play FILE.mid", then its
// description from the 25th column, one line of it per line.
void describe(std::ostringstream& out, const CLI::Option& option) {
    constexpr std::size_t kDescriptionColumn = 24;
    std::string names = "  ";
    const auto& shortNames = option.get_snames();
    names += shortNames.empty() ? "    " : "-" + shortNames.front() + ", ";
    names += "--" + option.get_lnames().front();
    if (option.get_expected_max() != 0)
        names += " " + option.get_type_name();
    names += names.size() < kDescriptionColumn ? std::string(kDescriptionColumn - names.size(), ' ')
                                               : std::string("  ");
    out << names;
    std::string_view description = option.get_description();
    for (std::size_t end = description.find('\n'); end != std::string_view::npos;
         end = description.find('\n')) {
        out << description.substr(0, end) << '\n' << std::string(kDescriptionColumn, ' ');
        description.remove_prefix(end + 1);
    }
    out << description << '\n';
}

}  // namespace

CommandLine parseCommandLine(int argc, char** argv) {
    CLI::App app;
    Reading reading;
    setUp(app, reading);
    if (const std::string unknown = unknownArgument(app, argc, argv); !unknown.empty()) {
        reading.line.error = "unknown option '" + unknown + "'";
        return reading.line;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // What the table's options cannot make it throw (a flag given a value, say).
        reading.line.error = error.what();
        return reading.line;
    }
    reading.line.error = check(app, reading);
    return reading.line;
}

std::string usageText() {
    CLI::App app;
    Reading reading;
    setUp(app, reading);
    std::ostringstream out;
    out << "Usage: tarvelo [--midi-api API] [FILE.trv]\n"
           "  or:  tarvelo COMMAND [--midi-api API]\n"
           "Live MIDI keyboard splitter. Without a command it opens its window on a new\n"
           "arrangement, or on the arrangement or set list FILE as the Open button would (a\n"
           "file that cannot be read is reported and the window starts on a new arrangement).\n"
           "An arrangement (.trv) and a set list (text) are told apart by their content.\n"
           "\n";
    for (const CLI::Option* option : app.get_options()) {
        if (option->nonpositional())
            describe(out, *option);
    }
    return out.str();
}

}  // namespace tarvelo::app
