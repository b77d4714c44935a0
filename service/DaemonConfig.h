#pragma once

#include <map>
#include <string>
#include <vector>

namespace fx {

// What fxtuned serves: from its configuration file (INI form) and its
// command line, the command line last.
struct DaemonConfig {
    struct Processor {
        std::string name;
        std::string host;
        int port = 0;
    };
    std::string listenAddress = "127.0.0.1";
    int listenPort = 8077;
    std::vector<Processor> processors; // in configuration order
    bool usb = false;
    // Names of processors on USB by interface or USB port path ([processor
    // NAME] usb = 1-4.2).
    std::map<std::string, std::string> usbNames;
    int forwardBase = 0; // 0: no forwarding ports
    std::string tokenFile;
    std::string corsOrigin;
    std::string history;         // a file path or a postgresql:// URL; empty: the default
    int historyKeepAllDays = 30; // everything kept this long, then one a day
    int historyPeriodHours = 24;
    std::string stateDirectory = "/var/lib/fxtuned";
    // [mqtt] as given: broker, user-file, tls-ca, prefix, discovery-prefix.
    std::map<std::string, std::string> mqtt;
    bool checkOnly = false; // --check-config
};

// A processor's name: [A-Za-z0-9_-]{1,32}.
bool IsProcessorName(const std::string& name);
// "HOST[:PORT]" with HOST dotted IPv4 and PORT 1..65535 (default 30303).
bool ParseProcessorAddress(const std::string& text, std::string& host, int& port);
// "ADDRESS:PORT" with PORT 0..65535.
bool ParseListenAddress(const std::string& text, std::string& address, int& port);

// Reads an INI file into config; false with "FILE:LINE: reason".
bool LoadDaemonConfig(const std::string& path, DaemonConfig& config, std::string& error);
// Reads --config FILE (if given) first, then the other options over it;
// false with the reason. help is set for --help.
bool ParseDaemonArguments(int argc, char** argv, DaemonConfig& config, bool& help,
                          std::string& error);
// Adds a processor, refusing a bad or repeated name.
bool AddProcessor(DaemonConfig& config, const std::string& name, const std::string& address,
                  std::string& error);

const char* DaemonUsage();

} // namespace fx
