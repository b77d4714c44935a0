#include "shell/CAppSettings.h"

#include "link/DebugLog.h"
#include "state/OutputChannels.h"

#include <QFileInfo>
#include <QSettings>

#include <cstring>

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
    return QByteArray(reinterpret_cast<const char*>(kDefaultLinkFlags.data()), kLinkFlagCount);
}

void CAppSettings::LoadChannelLinkFlags() {
    QByteArray flags = Store().value("QtOption").toByteArray();
    if (flags.size() != kLinkFlagCount) flags = DefaultChannelLinkFlags();
    std::memcpy(g_LinkFlags, flags.constData(), kLinkFlagCount);
}

bool CAppSettings::SaveChannelLinkFlags() {
    QSettings store = Store();
    store.setValue("QtOption",
                   QByteArray(reinterpret_cast<const char*>(g_LinkFlags), kLinkFlagCount));
    store.sync();
    if (store.status() == QSettings::NoError) return true;
    DebugLogText("保存失败");
    return false;
}

void CAppSettings::ResetChannelLinkFlags() {
    std::memcpy(g_LinkFlags, kDefaultLinkFlags.data(), kLinkFlagCount);
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
