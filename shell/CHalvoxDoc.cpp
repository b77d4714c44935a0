#include "shell/CHalvoxDoc.h"

#include "controls/Localisation.h"
#include "link/LinkState.h"
#include "modefile/ModeFile.h"
#include "shell/CAppSettings.h"
#include "shell/CCompareDlg.h"
#include "shell/CSynDlg.h"
#include "state/PresetDiff.h"
#include "state/SyncJobs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {
const QString kFilter = QStringLiteral("Mode Files (*.mode)");

QString WithModeSuffix(const QString& path) {
    return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".mode") : path;
}
} // namespace

CHalvoxDoc::CHalvoxDoc(QObject* parent) : QObject(parent) {}

void CHalvoxDoc::SetFileChooser(std::function<QString(bool save)> chooser) {
    m_chooser = std::move(chooser);
}

QString CHalvoxDoc::ChooseFile(bool save, const QString& defaultName) {
    if (m_chooser) return m_chooser(save);
    if (save)
        return QFileDialog::getSaveFileName(m_dialogParent, QString(), defaultName + ".mode",
                                            kFilter);
    return QFileDialog::getOpenFileName(m_dialogParent, QString(), QString(), kFilter);
}

void CHalvoxDoc::OnFileOpen() {
    if (!RequireLinkForModeFile()) return;
    const QString path = ChooseFile(false, QString());
    if (!path.isEmpty()) WriteToProcessor(path);
}

void CHalvoxDoc::OpenRecentFile(const QString& path) {
    if (!RequireLinkForModeFile()) return;
    if (!QFileInfo::exists(path)) {
        QMessageBox::information(m_dialogParent, QString::fromUtf8("文件打开错误"),
                                 QString::fromUtf8("文件不存在！"));
        return;
    }
    WriteToProcessor(path);
}

void CHalvoxDoc::WriteToProcessor(const QString& path) {
    if (!WriteModeFileToProcessor(path.toStdString())) return;
    CAppSettings::AddRecentFile(path);
    emit recentFilesChanged();
    emit fileInUse(path);
}

void CHalvoxDoc::OnFileSave() {
    if (!RequireLinkForModeFile()) return;
    const QString path = ChooseFile(true, QStringLiteral("name"));
    if (!path.isEmpty()) SaveTo(WithModeSuffix(path));
}

void CHalvoxDoc::OnFileCompare() {
    const QString path = ChooseFile(false, QString());
    if (path.isEmpty()) return;
    const fx::ModeFileCheck file = fx::ReadModeFile(path.toStdString());
    if (!file.ok) {
        QMessageBox::warning(m_dialogParent, Tr("与文件比较", "Compare with file"),
                             QString::fromStdString(file.message));
        return;
    }
    const std::vector<uint8_t> now = fx::EditedImage();
    CCompareDlg dialog(
        m_dialogParent, QFileInfo(path).fileName(),
        fx::DiffImages(file.bytes.data() + kModeFileHeaderSize, now.data(), g_Language));
    dialog.exec();
}

void CHalvoxDoc::SaveOnClose() {
    const QString path = ChooseFile(true, QStringLiteral("preset"));
    if (!path.isEmpty()) SaveTo(WithModeSuffix(path));
}

void CHalvoxDoc::SaveTo(const QString& path) {
    if (!SaveParametersToModeFile(path.toStdString())) return;
    CAppSettings::AddRecentFile(path);
    emit recentFilesChanged();
    emit fileInUse(path);
}

void CHalvoxDoc::OpenDocumentFile(const QString& path) {
    if (!QFileInfo::exists(path)) {
        QMessageBox::information(m_dialogParent, QString::fromUtf8("文件打开错误"),
                                 QString::fromUtf8("文件不存在！"));
        return;
    }
    const QString suffix = path.mid(path.lastIndexOf(QLatin1Char('.')) + 1);
    if (suffix.compare(QStringLiteral("mode"), Qt::CaseInsensitive) != 0 || !g_bConnected()) return;
    const fx::ModeFileCheck check = fx::LoadModeFileChecked(path.toStdString());
    if (!check.ok) {
        QMessageBox::information(QApplication::activeWindow(), QStringLiteral("Info"),
                                 QString::fromStdString(fx::ModeFileRefusalText(check)));
        return;
    }
    StartWriteAll();
    emit fileInUse(path);
    CSynDlg::ShowSyncDialog(QString());
}
