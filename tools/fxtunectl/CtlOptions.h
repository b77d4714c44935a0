#pragma once

#include <string>
#include <vector>

// The command line: fxtunectl (--host ADDRESS [--port N] | --usb) COMMAND ARGS...
struct CtlOptions {
    bool usb = false;
    std::string host;
    int port = 30303;
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

// Parses argv; on failure returns false with the reason in error.
bool ParseCtlOptions(int argc, char** argv, CtlOptions& options, std::string& error);

const char* CtlUsage();
