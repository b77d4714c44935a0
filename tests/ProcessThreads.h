#pragma once

#include <fstream>
#include <string>

// The threads this process runs now (-1 when the system does not say), for
// tests and benchmarks that bound the threads something makes.
inline int ProcessThreadCount() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
    return -1;
}
