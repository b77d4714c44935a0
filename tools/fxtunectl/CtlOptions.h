#pragma once

#include <string>
#include <vector>

constexpr int kDefaultCtlPort = 30303;

// One processor on the network.
struct CtlHost {
    std::string address;
    int port = kDefaultCtlPort;
};

// The command line: fxtunectl (--host ADDRESS [--port N] ... | --usb) [--json]
// [--lang zh|en] COMMAND ARGS...
struct CtlOptions {
    bool usb = false;
    std::string host; // the first processor's address and port
    int port = kDefaultCtlPort;
    std::vector<CtlHost> hosts; // every --host in the order given, each with its --port
    bool json = false;          // print JSON instead of prose
    int language = 1;           // names in --lang: 0 Chinese, 1 English
    // --link: the channel pairs (bit 0 CH1+CH2, 1 CH3+CH4, 2 CH7+CH8) whose
    // shared settings a change writes to both channels, as the editor's links.
    unsigned linkedPairs = 0;
    std::string linkText; // as given, for the runs on several processors
    std::string command;
    std::vector<std::string> arguments;
};

// Exit statuses.
enum CtlStatus {
    kExitOk = 0,
    kExitFailed = 1,      // the command itself failed (bad parameter, write error)
    kExitUsage = 2,       // the command line is wrong
    kExitNoProcessor = 3, // nothing to connect to, or the processor is busy
    kExitRefused = 4,     // model or command-set version not supported
    kExitBadFile = 5,     // the mode file cannot be loaded
    kExitTimeout = 6,     // the processor stopped answering
};

// The link flags (state/OutputChannels.h) as --link names them.
void ApplyChannelLinks(const CtlOptions& options);

// Parses argv; on failure returns false with the reason in error.
bool ParseCtlOptions(int argc, char** argv, CtlOptions& options, std::string& error);

const char* CtlUsage();

// The commands that print JSON with --json.
bool CommandPrintsJson(const std::string& command);

// diff A.mode B.mode: compares two files and connects to nothing.
bool IsFileDiff(const CtlOptions& options);
// xover list: the alignment names, known without a processor.
bool IsAlignmentList(const CtlOptions& options);
