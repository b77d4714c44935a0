#pragma once

namespace fx {

// What this process holds right now, from /proc/self/status.
struct ProcessGauge {
    double residentMiB = 0; // VmRSS
    int threads = 0;        // Threads

    static ProcessGauge Now();
};

} // namespace fx
