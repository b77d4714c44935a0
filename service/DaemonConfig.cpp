#include "service/DaemonConfig.h"

#include "link/NetLink.h"

#include <arpa/inet.h>
#include <cctype>
#include <fstream>

namespace fx {

namespace {

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool ParsePort(const std::string& text, int low, int& port) {
    if (text.empty() || text.size() > 5) return false;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > 65535) return false;
    port = value;
    return true;
}

bool IsDottedIpv4(const std::string& text) {
    in_addr address{};
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

bool ParseFlag(const std::string& text, bool& value) {
    if (text == "true" || text == "yes" || text == "on" || text == "1") return value = true, true;
    if (text == "false" || text == "no" || text == "off" || text == "0") return value = false, true;
    return false;
}

// One "key = value" of a section; empty error when taken.
std::string ApplySetting(DaemonConfig& config, const std::string& section, const std::string& key,
                         const std::string& value) {
    std::string error;
    if (section == "http") {
        if (key == "listen")
            return ParseListenAddress(value, config.listenAddress, config.listenPort)
                       ? ""
                       : "listen is ADDRESS:PORT";
        if (key == "token-file") return config.tokenFile = value, "";
        if (key == "cors-origin") return config.corsOrigin = value, "";
        if (key == "forward-base")
            return ParsePort(value, 1, config.forwardBase) ? "" : "forward-base is a port 1..65535";
    } else if (section == "daemon") {
        if (key == "usb") return ParseFlag(value, config.usb) ? "" : "usb is true or false";
        if (key == "state-directory") return config.stateDirectory = value, "";
    } else if (section == "mqtt") {
        config.mqtt[key] = value;
        return "";
    } else if (section == "history") {
        if (key == "database") return config.history = value, "";
        if (key == "keep-all-days")
            return ParsePort(value, 1, config.historyKeepAllDays) ? ""
                                                                  : "keep-all-days is 1..65535";
        if (key == "period-hours")
            return ParsePort(value, 1, config.historyPeriodHours) ? "" : "period-hours is 1..65535";
    } else if (section.rfind("processor ", 0) == 0) {
        const std::string name = Trim(section.substr(10));
        if (key == "address") return AddProcessor(config, name, value, error) ? "" : error;
        if (key == "usb") {
            if (!IsProcessorName(name)) return "bad processor name \"" + name + "\"";
            config.usbNames[value] = name;
            return "";
        }
    }
    return "unknown setting " + key + " in [" + section + "]";
}

} // namespace

bool IsProcessorName(const std::string& name) {
    if (name.empty() || name.size() > 32) return false;
    for (const char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') return false;
    return true;
}

bool ParseProcessorAddress(const std::string& text, std::string& host, int& port) {
    const size_t colon = text.rfind(':');
    const std::string address = text.substr(0, colon);
    int number = kDefaultNetPort;
    if (colon != std::string::npos && !ParsePort(text.substr(colon + 1), 1, number)) return false;
    if (!IsDottedIpv4(address)) return false;
    host = address;
    port = number;
    return true;
}

bool ParseListenAddress(const std::string& text, std::string& address, int& port) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    int number = 0;
    if (!ParsePort(text.substr(colon + 1), 0, number) || !IsDottedIpv4(text.substr(0, colon)))
        return false;
    address = text.substr(0, colon);
    port = number;
    return true;
}

bool AddProcessor(DaemonConfig& config, const std::string& name, const std::string& address,
                  std::string& error) {
    if (!IsProcessorName(name)) {
        error = "bad processor name \"" + name + "\" ([A-Za-z0-9_-], 1 to 32 characters)";
        return false;
    }
    for (const DaemonConfig::Processor& processor : config.processors)
        if (processor.name == name) {
            error = "processor " + name + " is named twice";
            return false;
        }
    DaemonConfig::Processor processor{name, {}, 0};
    if (!ParseProcessorAddress(address, processor.host, processor.port)) {
        error = "bad address \"" + address + "\" of processor " + name +
                " (dotted IPv4, optionally :PORT)";
        return false;
    }
    config.processors.push_back(processor);
    return true;
}

bool LoadDaemonConfig(const std::string& path, DaemonConfig& config, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    std::string line, section;
    int number = 0;
    while (std::getline(file, line)) {
        ++number;
        line = Trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        const std::string where = path + ":" + std::to_string(number) + ": ";
        if (line.front() == '[') {
            if (line.back() != ']') {
                error = where + "a section is [NAME]";
                return false;
            }
            section = Trim(line.substr(1, line.size() - 2));
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos || section.empty()) {
            error = where + "expected key = value within a [section]";
            return false;
        }
        const std::string problem = ApplySetting(config, section, Trim(line.substr(0, equals)),
                                                 Trim(line.substr(equals + 1)));
        if (!problem.empty()) {
            error = where + problem;
            return false;
        }
    }
    return true;
}

bool ParseDaemonArguments(int argc, char** argv, DaemonConfig& config, bool& help,
                          std::string& error) {
    help = false;
    std::vector<std::string> args(argv + 1, argv + argc);
    // The file first, so the command line goes over it.
    for (size_t i = 0; i < args.size(); ++i)
        if (args[i] == "--config") {
            if (i + 1 >= args.size()) return error = "--config needs a FILE", false;
            if (!LoadDaemonConfig(args[i + 1], config, error)) return false;
        }
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = option + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string text;
        if (option == "--help" || option == "-h") {
            help = true;
        } else if (option == "--config") {
            ++i;
        } else if (option == "--check-config") {
            config.checkOnly = true;
        } else if (option == "--usb") {
            config.usb = true;
        } else if (option == "--listen") {
            if (!value(text)) return false;
            if (!ParseListenAddress(text, config.listenAddress, config.listenPort))
                return error = "--listen is ADDRESS:PORT (dotted IPv4)", false;
        } else if (option == "--processor") {
            if (!value(text)) return false;
            const size_t equals = text.find('=');
            if (equals == std::string::npos)
                return error = "--processor is NAME=HOST[:PORT]", false;
            if (!AddProcessor(config, text.substr(0, equals), text.substr(equals + 1), error))
                return false;
        } else if (option == "--forward-base") {
            if (!value(text)) return false;
            if (!ParsePort(text, 1, config.forwardBase))
                return error = "--forward-base is a port 1..65535", false;
        } else if (option == "--token-file") {
            if (!value(config.tokenFile)) return false;
        } else if (option == "--cors-origin") {
            if (!value(config.corsOrigin)) return false;
        } else if (option == "--history") {
            if (!value(config.history)) return false;
        } else if (option == "--state-directory") {
            if (!value(config.stateDirectory)) return false;
        } else if (option == "--mqtt") {
            if (!value(config.mqtt["broker"])) return false;
        } else if (option.rfind("--mqtt-", 0) == 0 || option == "--discovery-prefix") {
            const std::string key =
                option == "--discovery-prefix" ? "discovery-prefix" : option.substr(7);
            if (!value(config.mqtt[key])) return false;
        } else {
            error = "unknown option " + option;
            return false;
        }
    }
    if (!config.mqtt.empty() && !config.mqtt.count("broker"))
        return error = "the MQTT settings need a broker (--mqtt HOST:PORT)", false;
    return true;
}

const char* DaemonUsage() {
    return "usage: fxtuned [--config FILE] [--listen ADDRESS:PORT] [--processor "
           "NAME=HOST[:PORT]]...\n"
           "               [--usb] [--forward-base PORT] [--token-file FILE] [--cors-origin "
           "ORIGIN]\n"
           "               [--history PATH|postgresql://...] [--state-directory DIR] "
           "[--check-config]\n"
           "               [--mqtt HOST:PORT [--mqtt-user-file FILE] [--mqtt-tls-ca FILE]\n"
           "                [--mqtt-prefix fxtune] [--discovery-prefix homeassistant]]\n"
           "Serves the venue's processors over HTTP and WebSocket (default 127.0.0.1:8077).\n";
}

} // namespace fx
