#include "service/mqtt/MqttSettings.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace fx {

namespace {

std::optional<MqttAddress> Refuse(std::string* error, std::string why) {
    if (error) *error = std::move(why);
    return std::nullopt;
}

} // namespace

std::optional<MqttAddress> ParseMqttAddress(const std::string& text, std::string* error) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return Refuse(error, "--mqtt wants HOST:PORT, got \"" + text + "\"");
    const std::string portText = text.substr(colon + 1);
    int port = 0;
    const auto [end, status] =
        std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (status != std::errc() || end != portText.data() + portText.size() || port < 1 ||
        port > 65535)
        return Refuse(error, "--mqtt port must be 1..65535, got \"" + portText + "\"");
    return MqttAddress{text.substr(0, colon), port};
}

std::optional<MqttCredentials> ReadMqttCredentials(const std::string& path, std::string* error) {
    auto refuse = [&](std::string why) -> std::optional<MqttCredentials> {
        if (error) *error = "MQTT user file " + path + ": " + why;
        return std::nullopt;
    };
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return refuse(std::strerror(errno));
    if (!S_ISREG(info.st_mode)) return refuse("not a regular file");
    // The password is a secret: nobody but the owner may read or change it.
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return refuse("readable or writable by others; make it mode 0600");
    std::ifstream file(path);
    std::string line;
    if (!file || !std::getline(file, line)) return refuse("cannot read it or it is empty");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    MqttCredentials credentials;
    std::string extra;
    if (!(words >> credentials.user >> credentials.password) || (words >> extra))
        return refuse("the first line must be \"USER PASSWORD\"");
    return credentials;
}

} // namespace fx
