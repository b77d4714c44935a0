#include "shell/CRibbonStatusBar.h"

#include "controls/Localisation.h"
#include "link/LinkState.h"
#include "shell/CStatusBarPane.h"
#include "shell/RibbonIds.h"
#include "state/DeviceMirrors.h"

#include <algorithm>

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {
const QColor kConnectedColor(0, 150, 0);
const QColor kDisconnectedColor(220, 0, 0);
const QColor kChangedColor(0x15, 0x42, 0x8b);
} // namespace

CRibbonStatusBar::CRibbonStatusBar(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(true);
    setStyleSheet(
        QStringLiteral("CRibbonStatusBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                       "stop:0 #dfe9f6, stop:1 #c3d6ee); border-top: 1px solid #8db2e3; }"
                       "CRibbonStatusBar::item { border: none; }"));
    m_linkPane = new CStatusBarPane(ID_STATUS_LINK, QString::fromUtf8("USB:未连接"), 52, this);
    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    m_modePane =
        new CStatusBarPane(ID_STATUS_MODE, QString::fromUtf8("当前模式：模式一"), 97, this);
    addWidget(m_linkPane);
    addWidget(separator);
    addWidget(m_modePane);
    m_changedSeparator = new QFrame(this);
    m_changedSeparator->setFrameShape(QFrame::VLine);
    m_changedSeparator->setFrameShadow(QFrame::Sunken);
    m_changedPane = new CStatusBarPane(ID_STATUS_CHANGED, QString(), 0, this);
    m_changedPane->setObjectName(QStringLiteral("changedPane"));
    addWidget(m_changedSeparator);
    addWidget(m_changedPane);
    m_offline = new QLabel(this);
    m_offline->setObjectName(QStringLiteral("offlineNotice"));
    m_offline->setStyleSheet(QStringLiteral("color: #5a3a00; background: #ffe9a8; "
                                            "border: 1px solid #e0b030; border-radius: 2px; "
                                            "padding: 0px 6px;"));
    addWidget(m_offline);
    m_notice = new QLabel(this);
    m_notice->setStyleSheet(QStringLiteral("color: #15428b; padding-left: 12px;"));
    // The notice takes the room that is left: a long one is cut, never
    // pushing Bypass and Reset EQ out of the window.
    m_notice->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    addWidget(m_notice, 1);
    m_noticeTimer.setSingleShot(true);
    connect(&m_noticeTimer, &QTimer::timeout, m_notice, &QLabel::clear);

    m_bypass = new QCheckBox(this);
    SetCtrlId(m_bypass, ID_EQ_BYPASS);
    m_bypass->setFocusPolicy(Qt::TabFocus);
    m_reset = new QPushButton(this);
    SetCtrlId(m_reset, ID_EQ_RESET);
    m_reset->setFocusPolicy(Qt::TabFocus);
    addPermanentWidget(m_bypass);
    addPermanentWidget(m_reset);
    connect(m_bypass, &QCheckBox::clicked, this, [this] { emit command(ID_EQ_BYPASS); });
    connect(m_reset, &QPushButton::clicked, this, [this] { emit command(ID_EQ_RESET); });
    Relabel();
    SetEqControls(false, false);
}

void CRibbonStatusBar::Relabel() {
    // Short enough for the smallest window; the tooltip says what follows.
    m_offline->setText(Tr("离线编辑：改动暂存在编辑器中", "Editing offline: edits stay here"));
    m_bypass->setText(Tr("均衡旁路", "Bypass"));
    m_reset->setText(Tr("重置均衡", "Reset EQ"));
    m_linkPane->setToolTip(Tr("与设备的连接：USB 或网络", "Link to the processor: USB or network"));
    m_modePane->setToolTip(
        Tr("设备当前的模式（M1..M4）", "The processor's current machine mode (M1..M4)"));
    m_offline->setToolTip(
        Tr("没有连接设备：改动保存在编辑器中。连接设备并读取后，可选择保留设备的参数"
           "或把编辑器的参数写入设备。",
           "No processor is connected: edits stay in the editor. Once a "
           "processor is connected and read, you choose whether to keep its "
           "values or write the editor's to it."));
    m_bypass->setToolTip(Tr("旁路本页显示的均衡", "Bypass the EQ shown on this page"));
    m_reset->setToolTip(
        Tr("把本页显示的均衡恢复为默认", "Reset the EQ shown on this page to its defaults"));
    SetChangedCount(m_changedCount, m_changedLines);
}

// What the count counts, then the parameters, as many as a tooltip holds.
QString CRibbonStatusBar::ChangedToolTip() const {
    constexpr int kMaxLines = 20;
    QStringList text{Tr("与上次从设备读取或写入设备的参数相比，已改动的参数：",
                        "Parameters changed since the last read from or write to the processor:")};
    for (int i = 0; i < std::min(kMaxLines, int(m_changedLines.size())); ++i)
        text.append(m_changedLines[i]);
    if (m_changedLines.size() > kMaxLines)
        text.append(Tr("……另有 %1 个", "… and %1 more").arg(m_changedLines.size() - kMaxLines));
    return text.join(QLatin1Char('\n'));
}

void CRibbonStatusBar::SetChangedCount(int count, const QStringList& lines) {
    m_changedCount = count;
    m_changedLines = lines;
    m_changedPane->setText(
        count == 1 ? Tr("读取后已改动 1 个参数", "1 parameter changed since read")
                   : Tr("读取后已改动 %1 个参数", "%1 parameters changed since read").arg(count));
    m_changedPane->setToolTip(ChangedToolTip());
    m_changedPane->SetTextColor(kChangedColor);
    // Shown while something differs: the room is the notices' otherwise.
    m_changedPane->setVisible(count > 0);
    m_changedSeparator->setVisible(count > 0);
}

void CRibbonStatusBar::UpdatePanes() {
    if (g_bConnected()) {
        m_linkPane->setText(g_bNetMode() ? Tr("IP：已连接", "IP:Connected")
                                         : Tr("USB：已连接", "USB:Connected"));
        m_linkPane->SetTextColor(kConnectedColor);
    } else {
        m_linkPane->setText(Tr("未连接", "Disconnected"));
        m_linkPane->SetTextColor(kDisconnectedColor);
    }
    // Without a processor there is no current machine mode to show.
    const int mode = qBound(0, g_CurrentMode().load(), 3);
    const QString modeName =
        g_bConnected() ? QStringLiteral("M%1").arg(mode + 1) : QStringLiteral("--");
    m_modePane->setText(Tr("当前模式:%1", "Current Mode:%1").arg(modeName));
    m_offline->setVisible(!g_bConnected());
}

void CRibbonStatusBar::SetEqControls(bool enabled, bool bypassed) {
    m_bypass->setEnabled(enabled);
    m_reset->setEnabled(enabled);
    m_bypass->setChecked(enabled && bypassed);
}

void CRibbonStatusBar::ShowNotice(const QString& text, int milliseconds) {
    m_notice->setText(text);
    m_noticeTimer.start(qMax(0, milliseconds));
}

QString CRibbonStatusBar::NoticeText() const {
    return m_notice->text();
}
