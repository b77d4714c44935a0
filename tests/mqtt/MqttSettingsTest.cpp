// The --mqtt address and the user file.
#include "service/mqtt/MqttSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(MqttSettingsTest, AddressIsHostColonPort) {
    struct Row {
        const char* text;
        bool ok;
        const char* host;
        int port;
    };
    const std::vector<Row> rows = {
        {"127.0.0.1:1883", true, "127.0.0.1", 1883},
        {"broker.lan:8883", true, "broker.lan", 8883},
        {"127.0.0.1", false, "", 0},
        {":1883", false, "", 0},
        {"host:0", false, "", 0},
        {"host:65536", false, "", 0},
        {"host:18x3", false, "", 0},
        {"host:", false, "", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        std::string error;
        const auto address = fx::ParseMqttAddress(row.text, &error);
        ASSERT_EQ(address.has_value(), row.ok) << error;
        if (!row.ok) {
            EXPECT_NE(error.find("--mqtt"), std::string::npos) << error;
            continue;
        }
        EXPECT_EQ(address->host, row.host);
        EXPECT_EQ(address->port, row.port);
    }
}

TEST(MqttSettingsTest, UserFileIsOneLineReadableByItsOwnerOnly) {
    struct Row {
        mode_t mode;
        const char* content;
        const char* user; // nullptr: refused
        const char* error;
    };
    const std::vector<Row> rows = {
        {0600, "ha s3cret\n", "ha", nullptr},
        {0400, "ha s3cret", "ha", nullptr},
        {0600, "ha s3cret\r\n", "ha", nullptr},
        {0640, "ha s3cret\n", nullptr, "make it mode 0600"},
        {0604, "ha s3cret\n", nullptr, "make it mode 0600"},
        {0620, "ha s3cret\n", nullptr, "make it mode 0600"},
        {0600, "ha\n", nullptr, "\"USER PASSWORD\""},
        {0600, "ha s3cret extra\n", nullptr, "\"USER PASSWORD\""},
        {0600, "", nullptr, "empty"},
    };
    const std::string path =
        std::filesystem::temp_directory_path() / ("fxtune-mqtt-user-" + std::to_string(::getpid()));
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.content) + " mode " + std::to_string(row.mode));
        std::filesystem::remove(path);
        std::ofstream(path) << row.content;
        ASSERT_EQ(::chmod(path.c_str(), row.mode), 0);
        std::string error;
        const auto credentials = fx::ReadMqttCredentials(path, &error);
        if (row.user) {
            ASSERT_TRUE(credentials) << error;
            EXPECT_EQ(credentials->user, row.user);
            EXPECT_EQ(credentials->password, "s3cret");
        } else {
            EXPECT_FALSE(credentials);
            EXPECT_NE(error.find(row.error), std::string::npos) << error;
            EXPECT_NE(error.find(path), std::string::npos) << error;
        }
    }
    std::filesystem::remove(path);
    std::string error;
    EXPECT_FALSE(fx::ReadMqttCredentials(path, &error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

} // namespace
