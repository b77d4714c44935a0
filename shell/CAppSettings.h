#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

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

    // The channel link flags g_LinkFlags are kept as "QtOption". Loading
    // reads them (the default when absent or of another size); a failed save
    // leaves only a debug line.
    static void LoadChannelLinkFlags();
    static bool SaveChannelLinkFlags();
    static void ResetChannelLinkFlags();
    static QByteArray DefaultChannelLinkFlags();

    // Empty when none is stored.
    static QString IpAddress();
    static int IpPort();
    static void SetIpAddress(const QString& address, int port);

    static QStringList RecentFiles();
    static void AddRecentFile(const QString& path);
};
