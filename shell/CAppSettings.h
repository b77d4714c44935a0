#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

// The channel link flags of the output page ("QtOption"), read when the view
// is created.
constexpr int kChannelLinkFlagCount = 8;
extern uint8_t g_QtOption[kChannelLinkFlagCount];

// The per-user settings under "ARN63 V1.0". A missing or unreadable store
// gives every value its default.
class CAppSettings {
public:
    static constexpr const char* kKey = "ARN63 V1.0";
    static constexpr int kApplicationLook = 215;
    static constexpr int kDefaultPort = 30303;
    static constexpr int kMaxRecentFiles = 10;
    static constexpr const char* kDefaultAddress = "192.168.1.123";

    static int Language();
    static void SetLanguage(int language);

    static int ApplicationLook();
    static void ForceApplicationLook();

    // Reads the stored flags into g_QtOption (the default when absent or short).
    static void LoadChannelLinkFlags();
    static void SaveChannelLinkFlags();
    static void ResetChannelLinkFlags();
    static QByteArray DefaultChannelLinkFlags();

    // Empty when none is stored.
    static QString IpAddress();
    static int IpPort();
    static void SetIpAddress(const QString& address, int port);

    static QStringList RecentFiles();
    static void AddRecentFile(const QString& path);
};
