#include "CtlOptions.h"

#include "CtlAutoEq.h"
#include "CtlOutputVerbs.h"
#include "CtlSpeakerVerbs.h"

#include "state/OutputChannels.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace {

// Commands that check their own arguments.
constexpr size_t kOwnArity = static_cast<size_t>(-1);

// Argument count of every command (exact).
const std::map<std::string, size_t>& CommandArity() {
    static const std::map<std::string, size_t> arity = {
        {"info", 0},
        {"read", 1},
        {"write", 1},
        {"get", kOwnArity}, // BLOCK PARAM or NAME
        {"set", kOwnArity}, // BLOCK PARAM VALUE or NAME VALUE
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
        {"diff", 1}, // or two files
        {"eq-import", 2},
        {"eq-export", 1},
        {"delay", kOwnArity},
        {"surround", kOwnArity},
        {"auto-eq", kOwnArity},
    };
    return arity;
}

bool ParseLanguage(const std::string& text, int& language) {
    if (text != "zh" && text != "en") return false;
    language = text == "zh" ? 0 : 1;
    return true;
}

// "none", or pairs such as "12,78" (also "1+2"); each pair once.
bool ParseLinkedPairs(const std::string& text, unsigned& pairs) {
    static const std::map<std::string, int> kPairNames = {{"12", 0},  {"34", 1},  {"78", 2},
                                                          {"1+2", 0}, {"3+4", 1}, {"7+8", 2}};
    pairs = 0;
    if (text == "none") return true;
    std::istringstream items(text);
    std::string item;
    int count = 0;
    while (std::getline(items, item, ',')) {
        const auto found = kPairNames.find(item);
        if (found == kPairNames.end() || (pairs & (1u << found->second)) != 0) return false;
        pairs |= 1u << found->second;
        ++count;
    }
    return count > 0 && text.back() != ',';
}

bool ParsePort(const std::string& text, int& port) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    port = std::stoi(text);
    return port >= 1 && port <= 65535;
}

// The ports seen so far. A --port belongs to the --host before it; one
// given before any --host belongs to the first.
struct PortState {
    bool given = false;       // any --port at all
    bool forLastHost = false; // the last --host has its port
};

void AddHost(CtlOptions& options, const std::string& address, PortState& ports) {
    CtlHost host{address, kDefaultCtlPort};
    ports.forLastHost = options.hosts.empty() && ports.given;
    if (ports.forLastHost) host.port = options.port;
    options.hosts.push_back(host);
}

bool SetPort(CtlOptions& options, const std::string& value, PortState& ports, std::string& error) {
    int port = 0;
    if (!ParsePort(value, port)) {
        error = "bad port: " + value;
        return false;
    }
    if (options.hosts.empty() ? ports.given : ports.forLastHost) {
        error = "--port given twice for one --host";
        return false;
    }
    ports.given = true;
    if (options.hosts.empty()) {
        options.port = port;
    } else {
        options.hosts.back().port = port;
        ports.forLastHost = true;
    }
    return true;
}

// Either --usb or one or more --host, each processor once; none only for a
// diff of two files, which needs no processor.
bool CheckTransport(const CtlOptions& options, bool portGiven, std::string& error) {
    if (IsFileDiff(options)) {
        if (options.usb || !options.hosts.empty()) {
            error = "diff of two files needs no --host or --usb";
            return false;
        }
        return true;
    }
    // Printed without a processor, so with or without one named.
    if (IsAlignmentList(options)) return true;
    if (options.usb == !options.hosts.empty()) {
        error = "give either --host ADDRESS or --usb";
        return false;
    }
    if (options.usb && portGiven) {
        error = "--port goes with --host";
        return false;
    }
    // One file saved from several processors would hold only the last one's.
    const auto& args = options.arguments;
    const bool exports = options.command == "auto-eq" &&
                         std::find(args.begin(), args.end(), "--export") != args.end();
    const bool savesAFile = options.command == "read" || exports ||
                            (options.command == "remote" && !args.empty() && args[0] == "save");
    if (savesAFile && options.hosts.size() > 1) {
        error = (exports ? "auto-eq --export" : options.command) +
                " saves one processor's file: give one --host";
        return false;
    }
    for (size_t a = 0; a < options.hosts.size(); ++a) {
        for (size_t b = a + 1; b < options.hosts.size(); ++b) {
            const CtlHost& first = options.hosts[a];
            const CtlHost& second = options.hosts[b];
            if (first.address == second.address && first.port == second.port) {
                error = first.address + ":" + std::to_string(first.port) + " given twice";
                return false;
            }
        }
    }
    return true;
}

// JSON is what info, get, diff and eq-export print on request, and what
// several processors are summed up in.
bool CheckJson(const CtlOptions& options, std::string& error) {
    if (!options.json || options.hosts.size() > 1 || CommandPrintsJson(options.command))
        return true;
    error = "--json goes with info, get, diff, eq-export, auto-eq, dump or several --host";
    return false;
}

} // namespace

void ApplyChannelLinks(const CtlOptions& options) {
    for (int pair = 0; pair < kLinkFlagCount; ++pair)
        g_LinkFlags[pair] = pair < kLinkPairCount && (options.linkedPairs >> pair & 1u) ? 1 : 0;
}

bool CommandPrintsJson(const std::string& command) {
    static const std::set<std::string> printJson = {"info",      "get",     "diff",
                                                    "eq-export", "auto-eq", "dump"};
    return printJson.count(command) > 0;
}

bool IsFileDiff(const CtlOptions& options) {
    return options.command == "diff" && options.arguments.size() == 2;
}

bool IsAlignmentList(const CtlOptions& options) {
    return options.command == "xover" && options.arguments.size() == 1 &&
           options.arguments[0] == "list";
}

const char* CtlUsage() {
    static const std::string usage =
        std::string(
            "usage: fxtunectl (--host ADDRESS [--port N] ... | --usb) [--json] [--lang zh|en] "
            "COMMAND\n"
            "       fxtunectl [--json] [--lang zh|en] diff A.mode B.mode\n"
            "       fxtunectl xover list\n"
            "       fxtunectl --daemon ADDRESS:PORT [--token-file FILE] [--json] history VERB ...\n"
            "       fxtunectl --help | --version\n"
            "options (--host, --port, --lang and --link also as --port=N; --json also after\n"
            "the command):\n"
            "  --host ADDRESS   a processor on the network (dotted IPv4); give it several\n"
            "                   times to run the command on every processor at once: each\n"
            "                   line of output starts with the processor's address and the\n"
            "                   exit status is the highest of them\n"
            "  --port N         TCP port of the --host before it (default 30303)\n"
            "  --usb            the first processor found on USB\n"
            "  --json           JSON instead of prose (info, get, diff, eq-export, auto-eq,\n"
            "                   dump, and the summary of several processors)\n"
            "  --lang zh|en     language of the parameter names of diff (default en)\n"
            "  --link PAIRS     channel pairs linked as in the editor: 12, 34, 78, comma-\n"
            "                   separated, or none (the default); a change of a linked\n"
            "                   channel's levels, EQ, delay or compressor goes to both\n"
            "  --daemon ADDRESS:PORT\n"
            "                   fxtuned's API instead of a processor (history only)\n"
            "  --token-file FILE\n"
            "                   fxtuned's token file (its write token, else its read one)\n"
            "commands:\n"
            "  info                          identity, compatibility and current mode\n"
            "  read FILE.mode                read the whole parameter set and save it\n"
            "  write FILE.mode               write a mode file to the processor\n"
            "                                (a name starting with m1..m4 also stores it)\n"
            "  get BLOCK PARAM | NAME        print a DSP parameter's value, in the unit and\n"
            "                                rounding set takes; NAME as diff and dump print\n"
            "                                it (\"CH 3 delay\", any case and spacing)\n"
            "  set BLOCK PARAM VALUE | NAME VALUE\n"
            "                                set a DSP parameter (within its page's range)\n"
            "  eq SET BAND TYPE FREQ GAIN Q  set an equaliser band (20..20000 Hz, -15..15 dB,\n"
            "                                Q 0.1..30 for PEQ, 0.1..2 for other types)\n"
            "  mode load|store|reset M       machine mode M (1..4)\n"
            "  dump                          the parameter image as JSON\n"
            "  machine                       the machine settings in words\n"
            "  machine set NAME=VALUE ...    change machine settings: mic-start, music-start\n"
            "                                (0..99, 0 = not used), mic-max, music-max (1..99),\n"
            "                                save-mode=power|mode, power-on-mode=auto|m1..m4,\n"
            "                                hdmi-mute=on|off, routing=sl|sbl|both,\n"
            "                                panel-lock=on|off, and within the panel lock\n"
            "                                volume-lock=on|off, mode-lock=on|off\n"
            "  remote save FILE.remo         save the remote key codes to a remote file (the\n"
            "                                codes of keys 16 and 17, which the processor does\n"
            "                                not report, only once learned or loaded)\n"
            "  remote load FILE.remo [--clear-unknown]\n"
            "                                send a remote file's key codes to the processor\n"
            "  remote learn KEY [--clear-unknown]\n"
            "                                learn a remote key (1..17 or power, pitch-down,\n"
            "                                pitch-up, m1-up, m4-down, m3-left, m2-right, ok,\n"
            "                                video-menu, mute, video-exit, mic-up, mic-down,\n"
            "                                effect-up, effect-down, music-up, music-down);\n"
            "                                prints its code and stores the codes; a store that\n"
            "                                would clear codes not known (keys 16 and 17 the\n"
            "                                processor does not report) needs --clear-unknown\n") +
        kOutputVerbUsage +
        "  source [K|NAME]               the music sources this model offers, their levels\n"
        "                                and the selected one; with K (0..13) or a name\n"
        "                                the model shows, select that source\n"
        "  bass-boost [DB]               the microphone bass boost; with DB (-40..0), set it\n"
        "  auto-level [on|off]           the automatic music input level: print it, or\n"
        "                                switch it on or off\n"
        "  auto-level THRESHOLD RATIO ATTACK RELEASE [on|off]\n"
        "                                set it: THRESHOLD -60..0 dB, RATIO 1..30, ATTACK\n"
        "                                1..100 ms, RELEASE 1..1000 ms; switches it on\n"
        "                                unless off is given\n"
        "  diff A.mode [B.mode]          the parameters that differ between two mode\n"
        "                                files, or a file and the processor: one line\n"
        "                                each, name: value in A -> value in B\n"
        "  eq-import SET FILE            a measurement program's filter text into the\n"
        "                                bands of EQ set SET (0..15), the rest flat\n"
        "  eq-export SET                 EQ set SET as filter text\n"
        "  history VERB NAME ...         with --daemon: the history fxtuned keeps of\n"
        "                                processor NAME: list [--since TIME] [--limit N],\n"
        "                                show ID, preset ID FILE.mode, snapshot, restore\n"
        "                                ID, approve ID|FILE.mode, approved, unapprove,\n"
        "                                restore-approved, drift\n" +
        kAutoEqUsage + kSpeakerVerbUsage +
        "exit status: 0 ok (diff: equal), 1 failed (diff: different), 2 usage or bad\n"
        "             value, 3 no processor, 4 unsupported processor, 5 bad mode, remote,\n"
        "             filter or measurement file, 6 time-out or not confirmed\n";
    return usage.c_str();
}

bool ParseCtlOptions(int argc, char** argv, CtlOptions& options, std::string& error) {
    int i = 1;
    PortState ports;
    for (; i < argc; ++i) {
        std::string arg = argv[i];
        // --port=N as well as --port N.
        std::optional<std::string> attached;
        const size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            attached = arg.substr(equals + 1);
            arg.resize(equals);
        }
        if (attached && arg != "--host" && arg != "--port" && arg != "--lang" && arg != "--link") {
            error = arg + " takes no value";
            return false;
        }
        if (arg == "--usb") {
            options.usb = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--host" || arg == "--port" || arg == "--lang" || arg == "--link") {
            if (!attached && i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            const std::string value = attached ? *attached : std::string(argv[++i]);
            if (arg == "--host") {
                AddHost(options, value, ports);
            } else if (arg == "--link") {
                if (!ParseLinkedPairs(value, options.linkedPairs)) {
                    error =
                        "--link is none or channel pairs such as 12,78 (12, 34, 78), not " + value;
                    return false;
                }
                options.linkText = value;
            } else if (arg == "--lang") {
                if (!ParseLanguage(value, options.language)) {
                    error = "--lang is zh or en, not " + value;
                    return false;
                }
            } else if (!SetPort(options, value, ports, error)) {
                return false;
            }
        } else if (arg.rfind("--", 0) == 0) {
            error = "unknown option: " + arg;
            return false;
        } else {
            break;
        }
    }
    if (i >= argc) {
        error = "no command given";
        return false;
    }
    options.command = argv[i++];
    // --json may also follow the verb and its arguments.
    for (; i < argc; ++i) {
        if (std::string(argv[i]) == "--json")
            options.json = true;
        else
            options.arguments.push_back(argv[i]);
    }
    const auto found = CommandArity().find(options.command);
    if (found == CommandArity().end()) {
        error = "unknown command: " + options.command;
        return false;
    }
    const bool fileDiff = IsFileDiff(options);
    if (found->second != kOwnArity && options.arguments.size() != found->second && !fileDiff) {
        error = "wrong number of arguments for " + options.command;
        return false;
    }
    if (!options.hosts.empty()) {
        options.host = options.hosts.front().address;
        options.port = options.hosts.front().port;
    }
    return CheckTransport(options, ports.given, error) && CheckJson(options, error);
}
