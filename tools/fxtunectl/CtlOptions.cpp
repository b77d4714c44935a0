#include "CtlOptions.h"

#include "CtlOutputVerbs.h"
#include "CtlSpeakerVerbs.h"

#include <map>

namespace {

// Commands that check their own arguments.
constexpr size_t kOwnArity = static_cast<size_t>(-1);

// Argument count of every command (exact).
const std::map<std::string, size_t>& CommandArity() {
    static const std::map<std::string, size_t> arity = {
        {"info", 0},
        {"read", 1},
        {"write", 1},
        {"get", 2},
        {"set", 3},
        {"eq", 6},
        {"mode", 2},
        {"dump", 0},
        {"machine", kOwnArity},
        {"remote", kOwnArity},
        {"comp", kOwnArity},
        {"xover", kOwnArity},
        {"output", kOwnArity},
        {"source", kOwnArity},
        {"bass-boost", kOwnArity},
        {"auto-level", kOwnArity},
        {"delay", kOwnArity},
        {"surround", kOwnArity},
    };
    return arity;
}

bool ParsePort(const std::string& text, int& port) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    port = std::stoi(text);
    return port >= 1 && port <= 65535;
}

} // namespace

const char* CtlUsage() {
    static const std::string usage =
        std::string(
            "usage: fxtunectl (--host ADDRESS [--port N] | --usb) COMMAND\n"
            "commands:\n"
            "  info                          identity, compatibility and current mode\n"
            "  read FILE.mode                read the whole parameter set and save it\n"
            "  write FILE.mode               write a mode file to the processor\n"
            "                                (a name starting with m1..m4 also stores it)\n"
            "  get BLOCK PARAM               print a DSP parameter's value\n"
            "  set BLOCK PARAM VALUE         set a DSP parameter (within its page's range)\n"
            "  eq SET BAND TYPE FREQ GAIN Q  set an equaliser band (20..20000 Hz, -15..15 dB,\n"
            "                                Q 0.1..30 for PEQ, 0.1..2 for other types)\n"
            "  mode load|store|reset M       machine mode M (1..4)\n"
            "  dump                          the parameter image as JSON\n"
            "  machine                       the machine settings in words\n"
            "  machine set NAME=VALUE ...    change machine settings: mic-start, music-start\n"
            "                                (0..99, 0 = not used), mic-max, music-max (1..99),\n"
            "                                save-mode=power|mode, power-on-mode=auto|m1..m4,\n"
            "                                hdmi-mute=on|off, routing=sl|sbl|both\n"
            "  remote save FILE.remo         save the remote key codes to a remote file\n"
            "  remote load FILE.remo         send a remote file's key codes to the processor\n"
            "  remote learn KEY              learn a remote key (1..17 or power, pitch-down,\n"
            "                                pitch-up, m1-up, m4-down, m3-left, m2-right, ok,\n"
            "                                video-menu, mute, video-exit, mic-up, mic-down,\n"
            "                                effect-up, effect-down, music-up, music-down);\n"
            "                                prints its code and stores the codes\n") +
        kOutputVerbUsage +
        "  source [K|NAME]               the music sources this model offers, their levels\n"
        "                                and the selected one; with K (0..13) or a name\n"
        "                                the model shows, select that source\n"
        "  bass-boost [DB]               the microphone bass boost; with DB (-40..0), set it\n"
        "  auto-level [THRESHOLD RATIO ATTACK RELEASE]\n"
        "                                the automatic music input level; with THRESHOLD\n"
        "                                (-60..0 dB), RATIO (1..30), ATTACK (1..100 ms) and\n"
        "                                RELEASE (1..1000 ms), set it\n" +
        kSpeakerVerbUsage +
        "exit status: 0 ok, 1 failed, 2 usage, 3 no processor, 4 unsupported processor,\n"
        "             5 bad mode or remote file, 6 time-out or not confirmed\n";
    return usage.c_str();
}

bool ParseCtlOptions(int argc, char** argv, CtlOptions& options, std::string& error) {
    int i = 1;
    bool portGiven = false;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--usb") {
            options.usb = true;
        } else if (arg == "--host" || arg == "--port") {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            const std::string value = argv[++i];
            if (arg == "--host") {
                options.host = value;
            } else if (!ParsePort(value, options.port)) {
                error = "bad port: " + value;
                return false;
            } else {
                portGiven = true;
            }
        } else if (arg.rfind("--", 0) == 0) {
            error = "unknown option: " + arg;
            return false;
        } else {
            break;
        }
    }
    if (options.usb == !options.host.empty()) {
        error = "give either --host ADDRESS or --usb";
        return false;
    }
    if (options.usb && portGiven) {
        error = "--port goes with --host";
        return false;
    }
    if (i >= argc) {
        error = "no command given";
        return false;
    }
    options.command = argv[i++];
    options.arguments.assign(argv + i, argv + argc);
    const auto found = CommandArity().find(options.command);
    if (found == CommandArity().end()) {
        error = "unknown command: " + options.command;
        return false;
    }
    if (found->second != kOwnArity && options.arguments.size() != found->second) {
        error = "wrong number of arguments for " + options.command;
        return false;
    }
    return true;
}
