#include "sim/SimOptions.h"

#include <charconv>
#include <functional>
#include <map>

namespace {

bool ParseInt(const std::string& text, int low, int high, int& value) {
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    if (parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

struct IntOption {
    int low;
    int high;
    std::function<int&(SimOptions&)> target;
};

const std::map<std::string, IntOption>& IntOptions() {
    static const std::map<std::string, IntOption> options = {
        {"--port", {0, 65535, [](SimOptions& o) -> int& { return o.port; }}},
        {"--count", {1, SimOptions::kMaxCount, [](SimOptions& o) -> int& { return o.count; }}},
        {"--heartbeat-ms", {0, 600000, [](SimOptions& o) -> int& { return o.heartbeatMs; }}},
        {"--learn-delay-ms", {-1, 600000, [](SimOptions& o) -> int& { return o.learnDelayMs; }}},
        {"--learn-code", {-1, 255, [](SimOptions& o) -> int& { return o.learnCode; }}},
        {"--stream-format", {0, 15, [](SimOptions& o) -> int& { return o.streamFormat; }}},
        {"--latency-ms",
         {0, 600000, [](SimOptions& o) -> int& { return o.faults.replyLatencyMs; }}},
        {"--drop-reply",
         {0, 1000000000, [](SimOptions& o) -> int& { return o.faults.dropReplyNumber; }}},
        {"--ignore-code", {0, 255, [](SimOptions& o) -> int& { return o.faults.ignoredCode; }}},
        {"--error-for", {0, 255, [](SimOptions& o) -> int& { return o.faults.refusedCode; }}},
        {"--silent-after",
         {-1, 1000000000, [](SimOptions& o) -> int& { return o.faults.silentAfterCommands; }}},
        {"--corrupt-checksum",
         {0, 1000000000, [](SimOptions& o) -> int& { return o.faults.corruptChecksumNumber; }}},
        {"--slow-reply",
         {0, 1000000000, [](SimOptions& o) -> int& { return o.faults.slowReplyNumber; }}},
        {"--slow-code", {0, 255, [](SimOptions& o) -> int& { return o.faults.slowCode; }}},
        {"--slow-reply-ms",
         {0, 600000, [](SimOptions& o) -> int& { return o.faults.slowReplyMs; }}},
        {"--damage-reply",
         {0, 1000000000, [](SimOptions& o) -> int& { return o.faults.damagedReplyNumber; }}},
        {"--heartbeat-after-reply",
         {0, 1000000000, [](SimOptions& o) -> int& { return o.faults.heartbeatAfterReplyNumber; }}},
        {"--pieces", {0, 255, [](SimOptions& o) -> int& { return o.faults.pieceSize; }}},
        {"--piece-gap-ms", {0, 10000, [](SimOptions& o) -> int& { return o.faults.pieceGapMs; }}},
        {"--cmd-version",
         {0, 255, [](SimOptions& o) -> int& { return o.identity.commandSetVersion; }}},
    };
    return options;
}

const std::map<std::string, std::function<std::string&(SimOptions&)>>& TextOptions() {
    static const std::map<std::string, std::function<std::string&(SimOptions&)>> options = {
        {"--module", [](SimOptions& o) -> std::string& { return o.identity.moduleName; }},
        {"--version1", [](SimOptions& o) -> std::string& { return o.identity.firstVersion; }},
        {"--version2", [](SimOptions& o) -> std::string& { return o.identity.secondVersion; }},
    };
    return options;
}

bool ParseAckStyle(const std::string& text, SimAckStyle& style) {
    static const std::map<std::string, SimAckStyle> styles = {
        {"echo", SimAckStyle::Echo}, {"generic", SimAckStyle::Generic}, {"dsp", SimAckStyle::Dsp}};
    const auto found = styles.find(text);
    if (found == styles.end()) return false;
    style = found->second;
    return true;
}

} // namespace

bool SimOptions::Parse(const std::vector<std::string>& arguments, std::string& error) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::string value;
        bool hasValue = false;
        if (const size_t equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            hasValue = true;
        }
        if (name == "--help" || name == "-h") {
            help = true;
            continue;
        }
        if (name == "--refuse") {
            busy = true;
            continue;
        }
        if (name == "--refuse-connect") {
            refuseConnections = true;
            continue;
        }
        if (name == "--verbose" || name == "-v") {
            verbose = true;
            continue;
        }
        const auto intOption = IntOptions().find(name);
        const auto textOption = TextOptions().find(name);
        const bool ackOption = name == "--ack";
        if (intOption == IntOptions().end() && textOption == TextOptions().end() && !ackOption) {
            error = "unknown option: " + arguments[i];
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= arguments.size()) {
                error = "missing value for " + name;
                return false;
            }
            value = arguments[++i];
        }
        if (ackOption) {
            if (ParseAckStyle(value, ackStyle)) continue;
            error = "bad value for --ack: " + value + " (expected generic, echo or dsp)";
            return false;
        }
        if (textOption != TextOptions().end()) {
            textOption->second(*this) = value;
            continue;
        }
        const IntOption& option = intOption->second;
        if (!ParseInt(value, option.low, option.high, option.target(*this))) {
            error = "bad value for " + name + ": " + value + " (expected " +
                    std::to_string(option.low) + ".." + std::to_string(option.high) + ")";
            return false;
        }
    }
    if (port > 0 && port + count - 1 > 65535) {
        error = "--port " + std::to_string(port) + " with --count " + std::to_string(count) +
                " runs past port 65535";
        return false;
    }
    return true;
}

std::string SimOptions::HelpText() {
    return R"(Usage: fxtune-sim [options]

A simulated effects processor on a loopback TCP port, for trying the editor
and the command-line tool without hardware. It listens on 127.0.0.1 only,
serves one editor at a time (a second one is told "ISCONNECTED" and closed),
sends the heartbeat "$HB$" and answers every command with the processor's
replies. The first line printed is "listening on 127.0.0.1:PORT" (with
--count, one such line per processor).
It runs until interrupted (Ctrl+C, SIGINT or SIGTERM).

Connection:
  --port N              TCP port on 127.0.0.1 (default 30303; 0 picks a free
                        port and prints it)
  --count N             serve N independent processors (1..256, default 1),
                        each with its own memory, modes and faults, on
                        ports --port, --port+1, ... (N free ports with
                        --port 0); one "listening on" line each, in order.
                        Every other option applies to each of them
  --heartbeat-ms N      period of the "$HB$" heartbeat in ms (default 1000;
                        0 sends none)
  --refuse              answer every editor "ISCONNECTED" and close, as a
                        processor busy with another host does
  --refuse-connect      hold the port but refuse every TCP connection

Identity:
  --module NAME         module name (default ARN63)
  --cmd-version N       command-set version (default 19)
  --version1 TEXT       first version string (default 2019-06-18)
  --version2 TEXT       second version string (default 2019-07-02)

Behaviour:
  --learn-delay-ms N    a remote-key learn command is answered this long
                        after it came, as if the key were pressed (default
                        1000; -1 never)
  --learn-code N        the learned key code (default 0x40 + key number)
  --stream-format N     stream format index 0..15 in the status block
  --ack STYLE           how changes are acknowledged: echo repeats the
                        command's code (default), generic answers reply 20
                        with the code in byte 2, dsp answers a DSP write
                        with reply 9 and the rest with reply 20
  -v, --verbose         print every command received to stderr (with
                        --count, each line starts with the processor's port)

Faults (replies are numbered from 1 in the order they are made):
  --latency-ms N        each command takes N ms to answer; commands are
                        answered one after the other, in order
  --drop-reply N        the Nth reply is never sent
  --slow-reply N        the Nth reply comes late (the ones after it wait)
  --slow-reply-ms N     how late (default 2100, longer than the editor waits)
  --slow-code N         the replies to commands with code N come that late
  --ignore-code N       commands with code N are carried out but never answered
  --error-for N         commands with code N are refused with an error report
                        (reply 10, error code 1) and not carried out
  --silent-after N      after N commands: no more replies, no heartbeat
  --corrupt-checksum N  the Nth reply frame carries a wrong checksum
  --damage-reply N      the Nth reply frame comes right behind a copy of
                        itself cut short, in the same write
  --heartbeat-after-reply N
                        "$HB$" glued right behind the Nth reply frame
  --pieces N            every reply frame leaves in pieces of N bytes
  --piece-gap-ms N      pause between pieces (default 2)

  -h, --help            show this text

Options take their value as the next argument or after "=" (--port=0).
)";
}
