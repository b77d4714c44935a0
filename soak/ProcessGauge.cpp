#include "ProcessGauge.h"

#include <fstream>
#include <string>

namespace fx {

ProcessGauge ProcessGauge::Now() {
    ProcessGauge gauge;
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            gauge.residentMiB = static_cast<double>(kib) / 1024.0;
        } else if (key == "Threads:") {
            status >> gauge.threads;
        }
        std::getline(status, key);
    }
    return gauge;
}

} // namespace fx
