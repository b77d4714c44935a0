#include "shell/CMasterControls.h"

#include "controls/Localisation.h"
#include "link/LinkState.h"
#include "shell/CInfoDlg.h"
#include "shell/CRibbonBar.h"
#include "shell/CRibbonStepSlider.h"
#include "shell/RibbonIds.h"
#include "state/DeviceMirrors.h"
#include "state/ParamImage.h"

#include <QCheckBox>

#include <cmath>

namespace {
constexpr int kNoticeMs = 1100;
constexpr int kMaxMicByte = 5;   // machine settings: maximum microphone volume
constexpr int kMaxMusicByte = 6; // machine settings: maximum music volume
constexpr int kLevelMax = 99;

int EditorInt(int block, int parameter) {
    return static_cast<int>(std::lround(GetDspParam(block, parameter)));
}

QString Formatted(const char* format, const char* prefix, int value) {
    return QString::asprintf(format, prefix, value);
}

const char* const kPanelChinese[kPanelCount] = {"话筒音量", "效果总音量", "混响音量", "回声音量",
                                                "音乐音量", "",           "调用",     "保存"};
const char* const kPanelEnglish[kPanelCount] = {"Mic Vol",   "Effect Vol", "Reverb Vol", "Echo Vol",
                                                "Music Vol", "",           "Load",       "Save"};
} // namespace

CMasterControls::CMasterControls(CRibbonBar& ribbon, std::function<void()> restartPitchTimer)
    : m_ribbon(ribbon), m_restartPitchTimer(std::move(restartPitchTimer)) {}

int CMasterControls::ActiveCopy() const {
    return m_ribbon.IsOutputCategoryActive() ? CRibbonBar::kOutputCategory
                                             : CRibbonBar::kInputCategory;
}

bool CMasterControls::HandleCommand(int id) {
    for (int row = 0; row < kLevelRowCount; ++row) {
        const MasterLevelRow& r = kLevelRows[row];
        if (id == r.slider[0] || id == r.slider[1]) {
            OnLevelSlider(row);
            return true;
        }
        if (id == r.mute[0] || id == r.mute[1]) {
            OnMuteBox(row);
            return true;
        }
        if (id == r.label[0] || id == r.label[1]) return true; // drawn enabled, does nothing
    }
    switch (id) {
    case ID_NOISEGATE_IN:
    case ID_NOISEGATE_OUT:
        OnNoiseGate();
        return true;
    case ID_PITCH_IN:
    case ID_PITCH_OUT:
        OnPitch();
        return true;
    case ID_NOISEGATE_LABEL_IN:
    case ID_NOISEGATE_LABEL_OUT:
        return true;
    default:
        return false;
    }
}

int CMasterControls::LevelLimitOf(int row) {
    switch (kLevelRows[row].limit) {
    case LevelLimit::Microphone:
        return g_MachineSettingsDevice()[kMaxMicByte];
    case LevelLimit::Music:
        return g_MachineSettingsDevice()[kMaxMusicByte];
    default:
        return kLevelMax;
    }
}

void CMasterControls::OnLevelSlider(int row) {
    const MasterLevelRow& r = kLevelRows[row];
    int value = m_ribbon.Slider(r.slider[ActiveCopy()])->value();
    if (r.limit != LevelLimit::None && value > LevelLimitOf(row)) {
        value = LevelLimitOf(row);
        if (r.limit == LevelLimit::Microphone)
            CInfoDlg::ShowInfo(Tr("不能超过最大话筒音量!", "Mic vol can't over max value!"),
                               kNoticeMs);
        else
            CInfoDlg::ShowInfo(Tr("不能超过最大音乐音量!", "Music vol can't over max value!"),
                               kNoticeMs);
    }
    m_ribbon.Slider(r.slider[0])->SetPositionQuietly(value);
    m_ribbon.Slider(r.slider[1])->SetPositionQuietly(value);
    SetDspParam(r.block, r.parameter, value);
    // The change has been sent all the same; the notice only says why it is not heard.
    if (r.muteNotice && EditorInt(r.onBlock, r.onParameter) == 0)
        CInfoDlg::ShowInfo(Tr("当前是静音状态", "vol is mute"), kNoticeMs);
    SetLevelLabels(row, value);
}

void CMasterControls::OnMuteBox(int row) {
    const MasterLevelRow& r = kLevelRows[row];
    const int on = EditorInt(r.onBlock, r.onParameter) == 0 ? 100 : 0;
    SetDspParam(r.onBlock, r.onParameter, on);
    SetMuteBoxes(row);
}

void CMasterControls::OnNoiseGate() {
    const int copy = ActiveCopy();
    const int value =
        m_ribbon.Slider(copy == CRibbonBar::kOutputCategory ? ID_NOISEGATE_OUT : ID_NOISEGATE_IN)
            ->value();
    m_ribbon.Slider(ID_NOISEGATE_IN)->SetPositionQuietly(value);
    m_ribbon.Slider(ID_NOISEGATE_OUT)->SetPositionQuietly(value);
    SetDspParam(kNoiseGateBlock, kNoiseGateParameter, value);
    SetNoiseGateLabels(value);
}

void CMasterControls::OnPitch() {
    if (!m_ribbon.IsKnownCategoryActive()) return;
    const int value =
        m_ribbon.Slider(m_ribbon.IsOutputCategoryActive() ? ID_PITCH_OUT : ID_PITCH_IN)->value();
    if (g_bConnected() && m_restartPitchTimer) m_restartPitchTimer();
    if (const DspParamEntry* entry = FindDspParam(kPitchBlock, kPitchParameter);
        entry && entry->intVar())
        *entry->intVar() = value;
    // Sent raw: 00 00 00 (pitch + 5).
    const uint32_t raw = static_cast<uint32_t>(value - kPitchMin);
    WriteDspParam(kPitchBlock, kPitchParameter, &raw, 1);
    m_ribbon.Slider(ID_PITCH_IN)->SetPositionQuietly(value);
    m_ribbon.Slider(ID_PITCH_OUT)->SetPositionQuietly(value);
    SetPitchCaption(m_ribbon.ActiveCategory());
}

int CMasterControls::PitchEditorValue() {
    return qBound(kPitchMin, EditorInt(kPitchBlock, kPitchParameter), kPitchMax);
}

// One caption wherever the pitch is shown: after a move, a refresh or a
// language change alike.
QString CMasterControls::PitchCaption() const {
    return QString::asprintf("%s%+-d",
                             g_Language == 1 ? "Music Pitch:" : "音乐变调:", PitchEditorValue());
}

void CMasterControls::SetPitchCaption(int category) {
    m_ribbon.SetPanelCaption(category, PANEL_PITCH, PitchCaption());
}

void CMasterControls::RefreshPitchDisplay() {
    if (!m_ribbon.IsKnownCategoryActive()) return;
    m_ribbon.Slider(ID_PITCH_IN)->SetPositionQuietly(PitchEditorValue());
    m_ribbon.Slider(ID_PITCH_OUT)->SetPositionQuietly(PitchEditorValue());
    SetPitchCaption(m_ribbon.ActiveCategory());
}

// One text per label, whichever way it is refreshed.
void CMasterControls::SetLevelLabels(int row, int value) {
    const MasterLevelRow& r = kLevelRows[row];
    const char* prefix = g_Language == 1 ? r.prefixEnglish : r.prefixChinese;
    const QString text = Formatted("%s%3d", prefix, value);
    m_ribbon.SetElementText(r.label[0], text);
    m_ribbon.SetElementText(r.label[1], text);
}

void CMasterControls::SetNoiseGateLabels(int value) {
    const QString text = g_Language == 1 ? Formatted("%s%7d", "Noisegate:", value)
                                         : Formatted("%s%3d", "音乐噪声门:", value);
    m_ribbon.SetElementText(ID_NOISEGATE_LABEL_IN, text);
    m_ribbon.SetElementText(ID_NOISEGATE_LABEL_OUT, text);
}

void CMasterControls::SetMuteBoxes(int row) {
    const MasterLevelRow& r = kLevelRows[row];
    const bool muted = EditorInt(r.onBlock, r.onParameter) == 0;
    for (int copy = 0; copy < 2; ++copy) {
        QCheckBox* box = m_ribbon.CheckBox(r.mute[copy]);
        const QSignalBlocker blocker(box);
        box->setChecked(muted);
    }
}

void CMasterControls::RefreshRibbon() {
    for (int row = 0; row < kLevelRowCount; ++row) {
        const MasterLevelRow& r = kLevelRows[row];
        const int value = EditorInt(r.block, r.parameter);
        m_ribbon.Slider(r.slider[0])->SetPositionQuietly(value);
        m_ribbon.Slider(r.slider[1])->SetPositionQuietly(value);
        SetLevelLabels(row, value);
        SetMuteBoxes(row);
    }
    const int gate = EditorInt(kNoiseGateBlock, kNoiseGateParameter);
    m_ribbon.Slider(ID_NOISEGATE_IN)->SetPositionQuietly(gate);
    m_ribbon.Slider(ID_NOISEGATE_OUT)->SetPositionQuietly(gate);
    SetNoiseGateLabels(gate);
    if (m_ribbon.IsKnownCategoryActive()) {
        for (int id : {ID_PITCH_IN, ID_PITCH_OUT}) {
            m_ribbon.Slider(id)->blockSignals(true);
            m_ribbon.Slider(id)->setRange(kPitchMin, kPitchMax);
            m_ribbon.Slider(id)->blockSignals(false);
        }
        RefreshPitchDisplay();
    }
    m_ribbon.update();
}

void CMasterControls::RelabelRibbon() {
    const bool english = g_Language == 1;
    for (int category = 0; category < 2; ++category) {
        const QString name = m_ribbon.CategoryName(category);
        const bool known =
            name == QString::fromUtf8("输入控制") || name == QStringLiteral("Input") ||
            name == QString::fromUtf8("输出调节") || name == QStringLiteral("Output");
        if (!known) continue;
        m_ribbon.SetCategoryName(category, category == CRibbonBar::kInputCategory
                                               ? Tr("输入控制", "Input")
                                               : Tr("输出调节", "Output"));
        for (int panel = 0; panel < kPanelCount; ++panel) {
            if (panel == PANEL_PITCH)
                SetPitchCaption(category);
            else
                m_ribbon.SetPanelCaption(
                    category, panel,
                    QString::fromUtf8(english ? kPanelEnglish[panel] : kPanelChinese[panel]));
        }
    }
    for (int row = 0; row < kLevelRowCount; ++row) {
        const MasterLevelRow& r = kLevelRows[row];
        SetLevelLabels(row, EditorInt(r.block, r.parameter));
        m_ribbon.SetElementText(r.mute[0], Tr("静音", "Mute"));
        m_ribbon.SetElementText(r.mute[1], Tr("静音", "Mute"));
    }
    SetNoiseGateLabels(EditorInt(kNoiseGateBlock, kNoiseGateParameter));
    for (int id : {ID_FILE_LOAD_IN, ID_FILE_LOAD_OUT})
        m_ribbon.SetElementText(id, Tr("载入文件", "LoadFile"));
    for (int id : {ID_FILE_SAVE_IN, ID_FILE_SAVE_OUT})
        m_ribbon.SetElementText(id, Tr("保存文件", "SaveFile"));
    for (int id : {ID_MODE_LOAD_IN, ID_MODE_LOAD_OUT})
        m_ribbon.SetElementText(id, Tr("载入模式", "LoadMode"));
    for (int id : {ID_MODE_STORE_IN, ID_MODE_STORE_OUT})
        m_ribbon.SetElementText(id, Tr("保存模式", "SaveMode"));
    m_ribbon.SetElementText(ID_NET_CONNECT, Tr("网络连接", "Connect IP"));
    m_ribbon.SetElementText(ID_FEATURES, Tr("特色功能", "Features"));
    m_ribbon.SetElementText(ID_MACHINE_RESET, Tr("机器复位", "Reset"));
    m_ribbon.SetElementText(ID_REMOTE_LEARN, Tr("遥控学习", "Remote control"));
    m_ribbon.SetElementText(ID_INPUT_SOURCE, Tr("输入源", "Input Source"));
    m_ribbon.SetElementText(ID_FILE_OPEN, Tr("打开(&O)", "Open(&O)"));
    m_ribbon.SetElementText(ID_FILE_SAVE, Tr("保存(&S)", "Save(&S)"));
    m_ribbon.SetElementText(ID_FILE_COMPARE, Tr("与文件比较(&C)…", "Compare with file(&C)…"));
    m_ribbon.SetElementText(ID_MACHINE_SETTINGS, CRibbonBar::MachineSettingsText());
    m_ribbon.SetRecentFilesCaption(CRibbonBar::RecentFilesText());
    m_ribbon.SetElementText(ID_APP_EXIT, Tr("退出(&X)", "Exit(&X)"));
    m_ribbon.RelabelToolTips();
    m_ribbon.updateGeometry();
    m_ribbon.update();
}
