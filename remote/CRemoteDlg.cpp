#include "remote/CRemoteDlg.h"

#include "controls/CGdipButton.h"
#include "controls/DialogStyle.h"
#include "controls/Localisation.h"
#include "link/LinkState.h"
#include "link/SendWorker.h"
#include "link/StateThread.h"
#include "modefile/SafeFile.h"
#include "remote/CIrWaitDlg.h"
#include "remote/CRemotePicture.h"
#include "remote/core/RemoteFile.h"
#include "remote/core/RemoteKeys.h"
#include "state/DeviceMirrors.h"
#include "state/JobUi.h"
#include "state/ParamStore.h"
#include "state/StatusPoll.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>

namespace {

constexpr int kLastKeyId = 1616; // the hand cursor covers 1587..1616

// The learning texts of keys 1..17 (Chinese, English).
const char* const kLearningTexts[fx::kRemoteKeyCount][2] = {
    {"您正在学习的键：启动/待机", "Learning key:Power key"},
    {"您正在学习的键：降调", "Learning key: Pitch-"},
    {"您正在学习的键：升调", "Learning key: Pitch+ "},
    {"您正在学习的键：M1/方向上", "Learning key: M1/Up "},
    {"您正在学习的键：M4/方向下", "Learning key:M4/Down "},
    {"您正在学习的键：M3/方向左", "Learning key: M3/Left "},
    {"您正在学习的键：M2/方向右", "Learning key: M2/Right "},
    {"您正在学习的键：确认键/原调", "Learning key: OK/Original Pitch key"},
    {"您正在学习的键：进入视频菜单", "Learning key:  Enter video menu"},
    {"您正在学习的键：静音键", "Learning key:  Mute "},
    {"您正在学习的键：退出视频菜单", "Learning key: Esc video menu "},
    {"您正在学习的键：增大话筒音量", "Learning key: Mic vol increase"},
    {"您正在学习的键：减小话筒音量", "Learning key:Mic vol decrease"},
    {"您正在学习的键：增大效果音量", "Learning key: Effect vol increase"},
    {"您正在学习的键：减小效果音量", "Learning key: Effect vol decrease"},
    {"您正在学习的键：增大音乐音量", "Learning key: Music vol increase"},
    {"您正在学习的键：减小音乐音量", "Learning key: Music vol decrease"},
};

const char* const kConnectFirst = "请先连接机器再进行此操作!"; // the same in both languages
const char* const kFileFilter = "Remote Data File(*.remo)";

// A clickable key area over the remote picture: transparent, a soft ring
// while the pointer is over it, the hand cursor.
class CKeyArea : public QWidget {
public:
    CKeyArea(int key, std::function<void(int)> clicked, QWidget* parent)
        : QWidget(parent), m_key(key), m_clicked(std::move(clicked)) {
        setAttribute(Qt::WA_Hover);
        setToolTip(CRemoteDlg::LearningText(key));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (!underMouse()) return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(120, 210, 255), 2));
        p.setBrush(QColor(120, 210, 255, 60));
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 8, 8);
    }
    bool event(QEvent* event) override {
        if (event->type() == QEvent::HoverEnter || event->type() == QEvent::HoverLeave) update();
        return QWidget::event(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            m_clicked(m_key);
    }

private:
    int m_key;
    std::function<void(int)> m_clicked;
};

CGdipButton* MakeButton(QWidget* parent, int id, const char* text) {
    auto* button = new CGdipButton(parent);
    SetCtrlId(button, id);
    button->setText(QString::fromUtf8(text));
    button->SetTextColor(Qt::white);
    QFont font(QString::fromUtf8("宋体"));
    font.setPixelSize(12);
    button->setFont(font);
    return button;
}

} // namespace

CRemoteDlg::CRemoteDlg(fx::SendWorker& sender, fx::ParamStore& store, QWidget* parent)
    : QDialog(parent), m_sender(sender), m_store(store),
      m_pollWasOn(g_bStatusPoll.exchange(false)) {
    setAttribute(Qt::WA_DeleteOnClose);
    ApplyPaleBackground(this);
    ApplyToolWindowFrame(this);
    setWindowTitle(Tr("遥控学习", "Learn remote control"));

    m_picture = new CRemotePicture(this);
    SetCtrlId(m_picture, kPictureId);
    m_instruction = new CInstructionPicture(this);
    SetCtrlId(m_instruction, kInstructionId);
    for (int key = 1; key <= fx::kRemoteKeyCount; ++key) {
        auto* area = new CKeyArea(
            key, [this](int k) { LearnKey(k); }, this);
        SetCtrlId(area, KeyControlId(key));
        m_keyAreas[static_cast<size_t>(key - 1)] = area;
    }
    m_apply = MakeButton(this, kApplyId, "应用设置");
    m_load = MakeButton(this, kLoadId, "载入参数");
    m_save = MakeButton(this, kSaveId, "保存参数");
    m_close = MakeButton(this, kCloseId, "关闭");
    connect(m_close, &CGdipButton::clicked, this, &QDialog::reject);
    connect(m_apply, &CGdipButton::clicked, this, &CRemoteDlg::OnApply);
    connect(m_load, &CGdipButton::clicked, this, &CRemoteDlg::OnLoadFile);
    connect(m_save, &CGdipButton::clicked, this, &CRemoteDlg::OnSaveFile);

    // The hand cursor over every key area (identifiers 1587..1616).
    for (QWidget* child : findChildren<QWidget*>())
        if (CtrlId(child) >= kFirstKeyId && CtrlId(child) <= kLastKeyId)
            child->setCursor(Qt::PointingHandCursor);

    setFixedSize(600, 560);
    m_picture->setGeometry(16, 16, 220, 520);
    m_instruction->setGeometry(256, 16, 328, 414);
    m_apply->setGeometry(256, 446, 328, 36);
    m_load->setGeometry(256, 492, 104, 36);
    m_save->setGeometry(368, 492, 104, 36);
    m_close->setGeometry(480, 492, 104, 36);
    LayOutKeyAreas();
    Relabel();
}

CRemoteDlg::~CRemoteDlg() {
    if (m_pollWasOn) g_bStatusPoll = true;
}

int CRemoteDlg::KeyControlId(int key) {
    return key == 1 ? kFirstKeyId : 1600 + key - 2;
}

QWidget* CRemoteDlg::KeyArea(int key) const {
    if (key < 1 || key > fx::kRemoteKeyCount) return nullptr;
    return m_keyAreas[static_cast<size_t>(key - 1)];
}

QString CRemoteDlg::LearningText(int key) {
    if (key < 1 || key > fx::kRemoteKeyCount) return {};
    const auto& pair = kLearningTexts[key - 1];
    return Tr(pair[0], pair[1]);
}

QString CRemoteDlg::KeyListText(const std::vector<int>& keys) {
    QString text;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i > 0) text += i + 1 == keys.size() ? Tr("和 ", " and ") : Tr("、", ", ");
        const int key = keys[i];
        if (key == fx::kRemoteCodeSetByte) {
            text += Tr("编码组", "the code set");
            continue;
        }
        // What the key does: its learning text after the colon.
        QString does = LearningText(key);
        does = does.mid(does.indexOf(QRegularExpression(QStringLiteral("[:：]"))) + 1).trimmed();
        text += Tr("%1（%2）", "%1 (%2)").arg(key).arg(does);
    }
    return text;
}

void CRemoteDlg::Relabel() {
    LoadDialogTexts(this, kResource);
    m_instruction->SetLanguage(g_Language);
}

void CRemoteDlg::SetFileChooser(std::function<QString(bool save)> chooser) {
    m_chooser = std::move(chooser);
}

void CRemoteDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayOutKeyAreas();
}

void CRemoteDlg::LayOutKeyAreas() {
    for (int key = 1; key <= fx::kRemoteKeyCount; ++key)
        KeyArea(key)->setGeometry(m_picture->KeyRect(key).translated(m_picture->pos()));
}

// ------------------------------------------------------------------ learning

void CRemoteDlg::LearnKey(int key) {
    if (m_wait) return;
    const QString text = LearningText(key);
    m_sender.Post([key] { fx::StartKeyLearning(key); });
    auto* wait = new CIrWaitDlg(
        text,
        [this] {
            // A sender stuck on the learn command's reply is let go at once;
            // 97 follows on the sending thread.
            fx::ReleaseReplyWaiters();
            m_sender.Post([] { fx::AbandonKeyLearning(); });
        },
        this);
    wait->setAttribute(Qt::WA_DeleteOnClose);
    m_wait = wait;
    wait->open();
}

void CRemoteDlg::OnRemoteKeyData(int code) {
    if (m_wait) m_wait->OnKeyLearned(code);
}

// ------------------------------------------------------------------ apply, files

bool CRemoteDlg::RequireLink() {
    if (m_store.Link().connected) return true;
    ShowInfo(kConnectFirst, kNoticeMs);
    return false;
}

bool CRemoteDlg::AgreeToClear(uint32_t knownBytes) {
    const std::vector<int> unknown = fx::UnknownRemoteKeys(knownBytes);
    if (unknown.empty() || !m_store.Link().connected) return true;
    QMessageBox box(QMessageBox::Question, Tr("遥控学习", "Remote control"),
                    Tr("机器不报告键 %1的键码，它们在此未知：写入遥控器键码会清除它们。继续吗?",
                       "The processor does not report the codes of keys %1, so they are not "
                       "known here: writing the codes clears them. Go on?")
                        .arg(KeyListText(unknown)),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    box.setObjectName(QStringLiteral("remoteClearUnknown"));
    return box.exec() == QMessageBox::Yes;
}

void CRemoteDlg::SendBlock(const QString& confirmedText) {
    QPointer<CRemoteDlg> self(this);
    const auto block = std::to_array(m_store.RemoteKeyBlock());
    const uint32_t known = m_store.RemoteKeysKnown();
    m_sender.Post([self, confirmedText, block, known, &store = m_store] {
        const bool linked = store.Link().connected;
        const bool confirmed =
            static_cast<bool>(fx::WriteRemoteKeys(store, block, known, kReplyWaitMs));
        fx::HandToStateThread([self, confirmedText, confirmed, linked] {
            QString text = confirmedText;
            if (!linked)
                text = QString::fromUtf8(kConnectFirst);
            else if (!confirmed)
                text = Tr("机器未确认遥控器键码!", "The processor did not confirm the codes!");
            ShowInfo(text.toStdString(), kNoticeMs);
            if (self) emit self->blockSent(confirmed);
        });
    });
}

void CRemoteDlg::OnApply() {
    if (!AgreeToClear(m_store.RemoteKeysKnown())) return;
    SendBlock(Tr("遥控器键码保存成功!", "Save successed !"));
}

QString CRemoteDlg::ChooseFile(bool save) {
    if (m_chooser) return m_chooser(save);
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setNameFilter(QString::fromUtf8(kFileFilter));
    dialog.setDefaultSuffix(QString::fromUtf8(fx::kRemoteFileExtension));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

void CRemoteDlg::OnLoadFile() {
    if (!RequireLink()) return;
    const QString chosen = ChooseFile(false);
    if (chosen.isEmpty()) return;
    const std::string path = fx::WithRemoteExtension(chosen.toStdString());
    auto block = std::to_array(m_store.RemoteKeyBlock());
    const fx::RemoteFileResult result = fx::LoadRemoteFile(path, block.data());
    if (result.status == fx::RemoteFileStatus::CannotOpen) {
        QMessageBox box(
            QMessageBox::Warning, Tr("载入遥控文件", "Load remote file"),
            Tr("无法打开文件:\n%1", "Can't open file:\n%1").arg(QString::fromStdString(path)),
            QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("remoteOpenFailed"));
        box.exec();
    }
    if (!result.ok()) {
        // Nothing was changed and nothing is sent.
        ShowInfo("载入遥控文件失败", kNoticeMs);
        return;
    }
    // A file too short to hold every code: declined, nothing is loaded or sent.
    const uint32_t fileBytes = (1u << result.bytes) - 1;
    if (!AgreeToClear(m_store.RemoteKeysKnown() | fileBytes)) return;
    m_store.SetRemoteKeyBytes(0, block.data(), result.bytes);
    SendBlock(QString::fromUtf8("载入遥控文件成功"));
}

void CRemoteDlg::OnSaveFile() {
    if (!RequireLink()) return;
    const QString chosen = ChooseFile(true);
    if (chosen.isEmpty()) return;
    const std::string path = fx::WithRemoteExtension(chosen.toStdString());
    // The file holds what is known; a code not known is saved as 00.
    const std::vector<int> unknown = fx::UnknownRemoteKeys(m_store.RemoteKeysKnown());
    auto block = std::to_array(m_store.RemoteKeyBlock());
    for (int byte : unknown) block[static_cast<size_t>(byte)] = 0;
    const fx::RemoteFileResult result = fx::SaveRemoteFile(path, block.data());
    if (!result.ok()) {
        QMessageBox box(QMessageBox::Warning, QString::fromUtf8(fx::kCantWriteCaption),
                        QString::fromStdString(result.message), QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("remoteWriteFailed"));
        box.exec();
        ShowInfo("保存遥控文件失败", kNoticeMs);
        return;
    }
    ShowInfo("保存遥控文件成功", kNoticeMs);
    if (unknown.empty()) return;
    QMessageBox box(QMessageBox::Information, Tr("保存遥控文件", "Save remote file"),
                    Tr("机器不报告键 %1的键码，文件中它们存为 00。",
                       "The processor does not report the codes of keys %1: the file holds "
                       "them as 00.")
                        .arg(KeyListText(unknown)),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("remoteSavedUnknown"));
    box.exec();
}
