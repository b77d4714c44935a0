#pragma once

#include "sim/SimFaults.h"
#include "sim/SimProcessor.h"

#include <string>
#include <vector>

// The command line of fxtune-sim.
struct SimOptions {
    static constexpr int kDefaultPort = 30303;
    static constexpr int kMaxCount = 256;

    int port = kDefaultPort;
    int count = 1; // processors, on ports port..port+count-1 (or free ones)
    int heartbeatMs = 1000;
    bool busy = false;              // every editor is told "ISCONNECTED"
    bool refuseConnections = false; // the TCP connection itself is refused
    int learnDelayMs = 1000;        // a learn command is answered after this (-1: never)
    int learnCode = -1;             // the learned code (-1: 0x40 + key number)
    int streamFormat = 0;
    SimAckStyle ackStyle = SimAckStyle::Echo;
    bool verbose = false;
    bool help = false;
    SimFaults faults;
    SimIdentity identity;

    // Parses the arguments (without the program name). On an error returns
    // false with a message in error.
    bool Parse(const std::vector<std::string>& arguments, std::string& error);
    static std::string HelpText();
};
