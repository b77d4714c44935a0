#include "pages/CSetDlg.h"

#include "controls/CGdipButton.h"
#include "controls/CXBmpSlider.h"
#include "controls/DialogStyle.h"
#include "controls/Localisation.h"
#include "link/LinkState.h"
#include "link/SendWorker.h"
#include "link/StateThread.h"
#include "pages/CModeCommands.h"
#include "pages/CWheelRouter.h"
#include "pages/DialogControls.h"
#include "state/DeviceMirrors.h"
#include "state/JobUi.h"
#include "state/MachineModes.h"
#include "state/MachineSettings.h"
#include "state/ParamImage.h"
#include "state/ParamStore.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

#include <cstring>

using fx::MakeDialogGroup;
using fx::MakeDialogLabel;
using fx::MakeDialogSlider;
using fx::SetCheckedQuietly;
using fx::VolumeInput;
using fx::WithCtrlId;

namespace {

constexpr VolumeInput kInputs[] = {VolumeInput::Microphone, VolumeInput::Music};
constexpr int kMachineModeButtons = 4;
constexpr int kApplyNoticeMs = 1100;

QString VolumeText(int volume) {
    return volume == 0 ? Tr("无效", "Invalid") : QString::asprintf("%d", volume);
}

// The notice of an Apply's outcome; shown even when the dialog has closed meanwhile.
void ShowApplyNotice(bool confirmed, bool linked) {
    QString text = Tr("机器设置已生效!", "Setting valid");
    if (!linked)
        text = Tr("未连接机器，设置未发送!", "Not connected: setting not sent!");
    else if (!confirmed)
        text = Tr("机器未确认设置!", "The processor did not confirm the setting!");
    ShowInfo(text.toStdString(), kApplyNoticeMs);
}

} // namespace

uint8_t* CSetDlg::Edit() const {
    return m_store.MachineSettingsWork();
}

CSetDlg::CSetDlg(fx::SendWorker& sender, fx::ParamStore& store, QWidget* parent)
    : QDialog(parent), m_sender(sender), m_store(store) {
    setAttribute(Qt::WA_DeleteOnClose);
    ApplyPaleBackground(this);
    setWindowTitle(Tr("机器设置", "Machine Set"));
    CreateControls();
    LayOut();
    m_wheel = new CWheelRouter(this, [this](const QWidget* focus) {
        for (const VolumeRow& row : m_rows)
            if (focus == row.start || focus == row.max) return true;
        return false;
    });
    Reload();
    Relabel();
}

void CSetDlg::CreateControls() {
    m_startGroup = MakeDialogGroup(this, IDC_SET_START_GROUP, "开机音量");
    m_saveGroup = MakeDialogGroup(this, IDC_SET_SAVE_GROUP, "音量保存模式");
    m_powerOnGroup = MakeDialogGroup(this, IDC_SET_POWER_ON_GROUP, "开机指定模式");
    m_hdmiGroup = MakeDialogGroup(this, IDC_SET_HDMI_GROUP, "HDMI静音");
    m_routeGroup = MakeDialogGroup(this, IDC_SET_ROUTE_GROUP, "DTS/AC3 环绕输出路由");
    m_modeGroup = MakeDialogGroup(this, IDC_SET_DEFAULT_MODE_GROUP, "出厂机器模式");
    CreateVolumeRows();
    CreateModeControls();
    CreateButtons();
}

void CSetDlg::CreateVolumeRows() {
    struct RowIds {
        int startLabel, start, startValue, enable, maxLabel, max, maxValue;
        const char *startText, *maxText;
    };
    const RowIds ids[] = {
        {IDC_SET_MIC_START_LABEL, IDC_SET_MIC_START, IDC_SET_MIC_START_VALUE, IDC_SET_MIC_ENABLE,
         IDC_SET_MIC_MAX_LABEL, IDC_SET_MIC_MAX, IDC_SET_MIC_MAX_VALUE, "话筒开机音量",
         "话筒最大音量"},
        {IDC_SET_MUSIC_START_LABEL, IDC_SET_MUSIC_START, IDC_SET_MUSIC_START_VALUE,
         IDC_SET_MUSIC_ENABLE, IDC_SET_MUSIC_MAX_LABEL, IDC_SET_MUSIC_MAX, IDC_SET_MUSIC_MAX_VALUE,
         "音乐开机音量", "音乐最大音量"},
    };
    for (VolumeInput input : kInputs) {
        const RowIds& id = ids[static_cast<int>(input)];
        VolumeRow& row = Row(input);
        row.startLabel = MakeDialogLabel(this, id.startLabel, id.startText);
        row.start = MakeDialogSlider(this, id.start);
        row.startValue = MakeDialogLabel(this, id.startValue, "");
        row.enable = WithCtrlId(id.enable, new QCheckBox(QString::fromUtf8("启用"), this));
        row.maxLabel = MakeDialogLabel(this, id.maxLabel, id.maxText);
        row.max = MakeDialogSlider(this, id.max);
        row.max->SetRange(1, fx::kMachineVolumeMax);
        row.maxValue = MakeDialogLabel(this, id.maxValue, "");
        connect(row.start, &CXBmpSlider::PositionChanging, this,
                [this, input](int, int position) { OnStartMoved(input, position); });
        connect(row.max, &CXBmpSlider::PositionChanging, this,
                [this, input](int, int position) { OnMaxMoved(input, position); });
        connect(row.enable, &QCheckBox::toggled, this,
                [this, input](bool checked) { OnEnableToggled(input, checked); });
    }
}

void CSetDlg::CreateModeControls() {
    m_saveLabel = MakeDialogLabel(this, IDC_SET_SAVE_LABEL, "主音量和输入源：");
    m_byPower =
        WithCtrlId(IDC_SET_BY_POWER, new QRadioButton(QString::fromUtf8("随开关机保存"), this));
    m_byMode = WithCtrlId(IDC_SET_BY_MODE, new QRadioButton(QString::fromUtf8("随模式保存"), this));
    m_saveButtons = new QButtonGroup(this);
    m_saveButtons->addButton(m_byPower, static_cast<int>(fx::SaveMode::ByPower));
    m_saveButtons->addButton(m_byMode, static_cast<int>(fx::SaveMode::ByMode));
    connect(m_saveButtons, &QButtonGroup::idClicked, this,
            [this](int id) { fx::SetSaveMode(Edit(), static_cast<fx::SaveMode>(id)); });

    m_powerOnLabel = MakeDialogLabel(this, IDC_SET_POWER_ON_LABEL, "机器开机指定模式");
    m_powerOnMode = WithCtrlId(IDC_SET_POWER_ON_MODE, new QComboBox(this));
    m_powerOnMode->addItems({"Auto", "M1", "M2", "M3", "M4"});
    connect(m_powerOnMode, &QComboBox::activated, this,
            [this](int index) { fx::SetPowerOnMode(Edit(), index); });

    m_hdmiMute =
        WithCtrlId(IDC_SET_HDMI_MUTE, new QCheckBox(QString::fromUtf8("HDMI输出口静音"), this));
    connect(m_hdmiMute, &QCheckBox::toggled, this,
            [this](bool checked) { fx::SetHdmiMuted(Edit(), checked); });

    const int routeIds[] = {IDC_SET_ROUTE_SL, IDC_SET_ROUTE_SBL, IDC_SET_ROUTE_BOTH};
    const char* routeTexts[] = {"输出至SL/SR", "输出至SBL/SBR", "输出至SL/SR和SBL/SBR"};
    m_routeButtons = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        m_routes[i] =
            WithCtrlId(routeIds[i], new QRadioButton(QString::fromUtf8(routeTexts[i]), this));
        m_routeButtons->addButton(m_routes[i], i);
    }
    connect(m_routeButtons, &QButtonGroup::idClicked, this,
            [this](int id) { fx::SetRouting(Edit(), static_cast<fx::SurroundRouting>(id)); });

    // Present for the record's sake, never shown.
    m_panelLock =
        WithCtrlId(IDC_SET_PANEL_LOCK, new QCheckBox(QString::fromUtf8("锁定面板"), this));
    m_volumeLock =
        WithCtrlId(IDC_SET_VOLUME_LOCK, new QCheckBox(QString::fromUtf8("锁定音量"), this));
    m_modeLock = WithCtrlId(IDC_SET_MODE_LOCK, new QCheckBox(QString::fromUtf8("锁定模式"), this));
    for (QCheckBox* box : {m_panelLock, m_volumeLock, m_modeLock}) box->hide();
    connect(m_panelLock, &QCheckBox::toggled, this, [this](bool checked) {
        fx::SetPanelLock(Edit(), checked);
        ShowLocks();
    });
    connect(m_volumeLock, &QCheckBox::toggled, this,
            [this](bool checked) { fx::SetVolumeLock(Edit(), checked); });
    connect(m_modeLock, &QCheckBox::toggled, this,
            [this](bool checked) { fx::SetModeLock(Edit(), checked); });
}

void CSetDlg::CreateButtons() {
    for (int mode = 0; mode < kMachineModeButtons; ++mode) {
        auto* button = WithCtrlId(IDC_SET_RESET_MODE_FIRST + mode, new CGdipButton(this));
        button->setText(QStringLiteral("M%1").arg(mode + 1));
        button->SetToggle(true);
        connect(button, &CGdipButton::clicked, this, [this, mode] { OnResetMode(mode); });
        m_modeButtons[static_cast<size_t>(mode)] = button;
    }
    m_apply = WithCtrlId(IDC_SET_APPLY, new QPushButton(QString::fromUtf8("应用"), this));
    m_cancel = WithCtrlId(IDC_SET_CANCEL, new QPushButton(QString::fromUtf8("取消"), this));
    connect(m_apply, &QPushButton::clicked, this, &CSetDlg::OnApply);
    connect(m_cancel, &QPushButton::clicked, this, &CSetDlg::reject);
}

void CSetDlg::LayOut() {
    constexpr int kWidth = 572;
    setFixedSize(kWidth, 534);
    m_startGroup->setGeometry(12, 8, kWidth - 24, 184);
    for (VolumeInput input : kInputs) {
        VolumeRow& row = Row(input);
        const int startY = 34 + 38 * static_cast<int>(input);
        const int maxY = startY + 76;
        row.startLabel->setGeometry(26, startY, 120, 26);
        row.start->setGeometry(150, startY, 250, 26);
        row.startValue->setGeometry(410, startY, 64, 26);
        row.enable->setGeometry(478, startY, 80, 26);
        row.maxLabel->setGeometry(26, maxY, 120, 26);
        row.max->setGeometry(150, maxY, 250, 26);
        row.maxValue->setGeometry(410, maxY, 64, 26);
    }
    const int half = (kWidth - 32) / 2;
    const int right = 20 + half;
    m_saveGroup->setGeometry(12, 200, half, 92);
    m_saveLabel->setGeometry(26, 224, half - 28, 22);
    m_byPower->setGeometry(26, 254, 120, 24);
    m_byMode->setGeometry(150, 254, half - 142, 24);
    m_powerOnGroup->setGeometry(right, 200, half, 92);
    m_powerOnLabel->setGeometry(right + 14, 238, 132, 24);
    m_powerOnMode->setGeometry(right + 150, 236, half - 166, 28);
    m_hdmiGroup->setGeometry(12, 300, half, 112);
    m_hdmiMute->setGeometry(26, 328, half - 28, 24);
    m_routeGroup->setGeometry(right, 300, half, 112);
    for (int i = 0; i < 3; ++i) m_routes[i]->setGeometry(right + 14, 324 + 28 * i, half - 24, 24);
    m_modeGroup->setGeometry(12, 420, kWidth - 24, 64);
    for (int mode = 0; mode < kMachineModeButtons; ++mode)
        m_modeButtons[static_cast<size_t>(mode)]->setGeometry(26 + 90 * mode, 444, 80, 30);
    m_panelLock->setGeometry(380, 444, 90, 22);
    m_apply->setGeometry(kWidth - 220, 494, 100, 30);
    m_cancel->setGeometry(kWidth - 112, 494, 100, 30);
}

CSetDlg::VolumeRow& CSetDlg::Row(VolumeInput input) {
    return m_rows[static_cast<size_t>(input)];
}

const CSetDlg::VolumeRow& CSetDlg::Row(VolumeInput input) const {
    return m_rows[static_cast<size_t>(input)];
}

CXBmpSlider* CSetDlg::StartSlider(VolumeInput input) const {
    return Row(input).start;
}

CXBmpSlider* CSetDlg::MaxSlider(VolumeInput input) const {
    return Row(input).max;
}

void CSetDlg::Relabel() {
    LoadDialogTexts(this, kResource);
    m_powerOnMode->setItemText(0, Tr("自动", "Auto"));
    for (VolumeInput input : kInputs) ShowVolumeRow(input); // "无效" / "Invalid"
}

void CSetDlg::Reload() {
    fx::RevertMachineSettingsEdit();
    const bool hdmi = fx::ModelHasHdmiOutput(m_store.Identity().moduleName);
    m_hdmiGroup->setVisible(hdmi);
    m_hdmiMute->setVisible(hdmi);
    ShowRecord();
}

// Every control from the edit copy: the record is the one truth.
void CSetDlg::ShowRecord() {
    const uint8_t* record = Edit();
    for (VolumeInput input : kInputs) ShowVolumeRow(input);
    SetCheckedQuietly(fx::GetSaveMode(record) == fx::SaveMode::ByMode ? m_byMode : m_byPower, true);
    const bool blocked = m_powerOnMode->blockSignals(true);
    m_powerOnMode->setCurrentIndex(std::min(fx::PowerOnMode(record), fx::kPowerOnModeCount - 1));
    m_powerOnMode->blockSignals(blocked);
    SetCheckedQuietly(m_hdmiMute, fx::HdmiMuted(record));
    // A routing the editor does not know leaves the radios as they are.
    if (const auto routing = fx::Routing(record))
        SetCheckedQuietly(m_routes[static_cast<size_t>(*routing)], true);
    ShowLocks();
    ShowModeButtons();
}

void CSetDlg::ShowVolumeRow(VolumeInput input) {
    VolumeRow& row = Row(input);
    const uint8_t* record = Edit();
    const int maximum = fx::MaxVolume(record, input);
    const int start = fx::StartVolume(record, input);
    row.max->SetPos(maximum);
    row.maxValue->setText(QString::asprintf("%d", maximum));
    row.start->SetRange(0, maximum);
    row.start->SetPos(start);
    const bool used = start != 0;
    SetCheckedQuietly(row.enable, used);
    row.start->SetEnabled(used);
    row.startLabel->setEnabled(used);
    row.startValue->setEnabled(used);
    row.startValue->setText(VolumeText(start));
}

void CSetDlg::ShowLocks() {
    const uint8_t* record = Edit();
    SetCheckedQuietly(m_panelLock, fx::PanelLocked(record));
    SetCheckedQuietly(m_volumeLock, fx::VolumeLocked(record));
    SetCheckedQuietly(m_modeLock, fx::ModeLocked(record));
    m_volumeLock->setEnabled(fx::PanelLocked(record));
    m_modeLock->setEnabled(fx::PanelLocked(record));
}

void CSetDlg::ShowModeButtons() {
    for (int mode = 0; mode < kMachineModeButtons; ++mode) {
        CGdipButton* button = m_modeButtons[static_cast<size_t>(mode)];
        SetCheckedQuietly(button, mode == m_store.CurrentMode());
        button->setEnabled(m_store.Link().connected);
    }
}

void CSetDlg::OnStartMoved(VolumeInput input, int position) {
    fx::SetStartVolume(Edit(), input, position);
    ShowVolumeRow(input);
    SendMasterVolume(input);
}

void CSetDlg::OnMaxMoved(VolumeInput input, int position) {
    // A power-on volume above the new maximum comes down to it, and is
    // heard at once like a move of its own slider.
    const bool lowered = fx::SetMaxVolume(Edit(), input, position);
    ShowVolumeRow(input);
    if (lowered) SendMasterVolume(input);
}

void CSetDlg::OnEnableToggled(VolumeInput input, bool checked) {
    const fx::MasterVolumeParam master = fx::MasterVolumeOf(input);
    const int current = static_cast<int>(GetDspParam(master.block, master.parameter) + 0.5);
    fx::EnableStartVolume(Edit(), input, checked, current);
    ShowVolumeRow(input);
}

void CSetDlg::SendMasterVolume(VolumeInput input) {
    const fx::MasterVolumeParam master = fx::MasterVolumeOf(input);
    SetDspParam(master.block, master.parameter, fx::StartVolume(Edit(), input));
    emit masterVolumeSent();
}

void CSetDlg::OnResetMode(int mode) {
    if (!m_store.Link().connected) {
        ShowModeButtons();
        return;
    }
    CModeCommands(m_sender, m_store, this).ResetMode(mode);
    ShowModeButtons();
}

void CSetDlg::OnApply() {
    fx::CommitMachineSettingsEdit();
    std::array<uint8_t, kMachineSettingsSize> record{};
    std::memcpy(record.data(), m_store.MachineSettingsDevice(), record.size());
    const bool linked = m_store.Link().connected;
    // The answer is waited for off the window's thread; the notice follows it.
    QPointer<CSetDlg> self(this);
    m_sender.Post([self, record, linked] {
        const bool confirmed =
            static_cast<bool>(fx::SendMachineSettings(record.data(), kReplyWaitMs));
        fx::HandToStateThread([self, confirmed, linked] {
            ShowApplyNotice(confirmed, linked);
            if (self) emit self->applyFinished(confirmed);
        });
    });
}

void CSetDlg::reject() {
    fx::RevertMachineSettingsEdit();
    QDialog::reject();
    close();
}

void CSetDlg::closeEvent(QCloseEvent* event) {
    fx::RevertMachineSettingsEdit();
    QDialog::closeEvent(event);
}
