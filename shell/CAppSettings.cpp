#include "shell/CAppSettings.h"

#include <QFileInfo>
#include <QSettings>

#include <cstring>

uint8_t g_QtOption[kChannelLinkFlagCount] = {1, 1, 1, 0, 0, 0, 0, 0};

namespace {
QSettings Store() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, CAppSettings::kKey,
                     QStringLiteral("Settings"));
}
} // namespace

int CAppSettings::Language() {
    return Store().value("language", 0).toInt();
}

void CAppSettings::SetLanguage(int language) {
    Store().setValue("language", language);
}

int CAppSettings::ApplicationLook() {
    return Store().value("ApplicationLook", kApplicationLook).toInt();
}

void CAppSettings::ForceApplicationLook() {
    Store().setValue("ApplicationLook", kApplicationLook);
}

QByteArray CAppSettings::DefaultChannelLinkFlags() {
    return QByteArray("\x01\x01\x01\x00\x00\x00\x00\x00", kChannelLinkFlagCount);
}

void CAppSettings::LoadChannelLinkFlags() {
    QByteArray flags = Store().value("QtOption").toByteArray();
    if (flags.size() != kChannelLinkFlagCount) flags = DefaultChannelLinkFlags();
    std::memcpy(g_QtOption, flags.constData(), kChannelLinkFlagCount);
}

void CAppSettings::SaveChannelLinkFlags() {
    Store().setValue("QtOption",
                     QByteArray(reinterpret_cast<const char*>(g_QtOption), kChannelLinkFlagCount));
}

void CAppSettings::ResetChannelLinkFlags() {
    std::memcpy(g_QtOption, DefaultChannelLinkFlags().constData(), kChannelLinkFlagCount);
    SaveChannelLinkFlags();
}

QString CAppSettings::IpAddress() {
    return Store().value("IPAddr").toString();
}

int CAppSettings::IpPort() {
    bool ok = false;
    const int port = Store().value("IPPort", kDefaultPort).toInt(&ok);
    return ok && port > 0 && port < 65536 ? port : kDefaultPort;
}

void CAppSettings::SetIpAddress(const QString& address, int port) {
    QSettings store = Store();
    store.setValue("IPPort", port);
    store.setValue("IPAddr", address);
}

QStringList CAppSettings::RecentFiles() {
    QStringList files = Store().value("RecentFiles").toStringList();
    while (files.size() > kMaxRecentFiles) files.removeLast();
    return files;
}

void CAppSettings::AddRecentFile(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList files = RecentFiles();
    files.removeAll(absolute);
    files.prepend(absolute);
    while (files.size() > kMaxRecentFiles) files.removeLast();
    Store().setValue("RecentFiles", files);
}
