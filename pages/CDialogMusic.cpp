#include "pages/CDialogMusic.h"

#include "controls/CGdipButton.h"
#include "controls/CGridListCtrlEx.h"
#include "controls/CPeakMeterCtrl.h"
#include "controls/CSmallEqPanel.h"
#include "controls/CXBmpSlider.h"
#include "controls/DialogStyle.h"
#include "controls/Localisation.h"
#include "pages/CEqEditor.h"
#include "pages/DialogControls.h"
#include "pages/PageRegistry.h"
#include "state/DeviceMirrors.h"
#include "state/ParamImage.h"
#include "state/ParamStore.h"
#include "state/Saturate.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <tuple>

namespace {
struct SubPageSetup {
    int set;
    EqBypassSwitch bypass;
    QColor listColor;
    QRgb previewColor;
    QColor buttonFace;
};

const SubPageSetup kSubPages[3] = {
    {0, {1, 33}, QColor(0, 200, 255), 0xFF00C8FF, QColor(0, 120, 160)},
    {1, {1, 60}, QColor(0, 220, 0), 0xFF00DC00, QColor(0, 130, 40)},
    {6, {4, 11}, QColor(255, 200, 0), 0xFF646464, QColor(170, 110, 0)},
};

enum class RowKind { Percent, Millis, ReverbTime, Shift };

struct EffectRow {
    const char* zh;
    const char* en;
    int block;
    int parameter[2]; // chain A, chain B
    int minimum;
    int maximum;
    RowKind kind;
};

const EffectRow kEffectTable[CDialogMusic::kEffectRows] = {
    {"混响电平", "Reverb Level", 3, {8, 20}, 0, 100, RowKind::Percent},
    {"混响预延时", "Reverb Predelay", 3, {9, 21}, 2, 200, RowKind::Millis},
    {"混响时长", "Reverb Time", 3, {10, 22}, 0, 100, RowKind::ReverbTime},
    {"回声电平", "Echo Level", 2, {9, 23}, 0, 100, RowKind::Percent},
    {"回声预延时", "Echo Predelay", 2, {10, 24}, 2, 200, RowKind::Millis},
    {"回声间隔", "Echo Time", 2, {11, 25}, 160, 260, RowKind::Millis},
    {"回声起始音量", "Echo Start Vol", 2, {12, 26}, 40, 100, RowKind::Percent},
    {"回声衰减比例", "Echo Vol Decay", 2, {13, 27}, 20, 90, RowKind::Percent},
    {"话筒移频", "Shift Frequency", 1, {38, 65}, 1, 8, RowKind::Shift},
};

// Frequency shift parameters of block 1 by chain: phase step, window, off switch.
constexpr int kShiftStep[2] = {38, 65};
constexpr int kShiftWindow[2] = {39, 66};
constexpr int kShiftOff[2] = {40, 67};
// Echo type (block 2) and the reverb and echo EQ bypass switches by chain.
constexpr int kEchoType[2] = {8, 22};
constexpr int kReverbEqBypass[2] = {7, 19};
constexpr int kEchoEqBypass[2] = {7, 21};

// The band list's five columns and its scroll bar.
constexpr int kBandListWidth = 272;
// The effect list's columns and width, wide and narrow.
constexpr int kEffectColumns[2][3] = {{50, 130, 80}, {34, 122, 76}};
constexpr int kEffectListWidth[2] = {264, 236};
constexpr int kMinPreviewWidth = 150;

const char* const kStreamFormats[9] = {"STEREO",   "AC3",    "DTS",    "DTS-CD",      "E-AC3",
                                       "DOLBY-HD", "DTS-HR", "DTS-HD", "LPCM MultiCh"};

QLabel* MakeLabel(QWidget* page, int id, const char* text,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* label = new QLabel(QString::fromUtf8(text), page);
    label->setAlignment(alignment);
    if (id != 0) SetCtrlId(label, id);
    return label;
}

QRadioButton* MakeRadio(QWidget* page, int id, const char* text, QButtonGroup* group) {
    auto* radio = new QRadioButton(QString::fromUtf8(text), page);
    radio->setAutoExclusive(false);
    SetCtrlId(radio, id);
    group->addButton(radio);
    return radio;
}

CXBmpSlider* MakeSlider(QWidget* page, int id, int minimum, int maximum, bool vertical) {
    auto* slider = new CXBmpSlider(page);
    slider->SetControlId(id);
    SetCtrlId(slider, id);
    slider->SetVertical(vertical);
    slider->SetRange(minimum, maximum);
    slider->SetMargins(3, 3, 3, 2);
    if (vertical) slider->SetThumbSize(QSize(24, 12));
    return slider;
}

CPeakMeterCtrl* MakeMeter(QWidget* page, int id, bool vertical) {
    auto* meter = new CPeakMeterCtrl(page);
    SetCtrlId(meter, id);
    // One channel of 15 LEDs over 0..60, green to 40, yellow to 50, 50 ms decay ticks.
    meter->Configure(1, 15, 60, 40, 50, PaleBackground(), 50);
    meter->SetVertical(vertical);
    return meter;
}

QLabel* MakeValue(QWidget* page, int id) {
    auto* value = MakeLabel(page, id, "0", Qt::AlignCenter);
    ApplyValueStyle(value);
    return value;
}
} // namespace

CDialogMusic::CDialogMusic(int subPage, QWidget* parent, fx::ParamStore& store,
                           CPageNavigator navigator)
    : CEqPageBase(kResource, parent, store), m_navigator(std::move(navigator)) {
    m_subPage = std::clamp(subPage, 0, 2);
    CreateSubPageButtons();
    CreateInputs();
    CreateEq();
    CreateEffects();
    CreatePreviews();

    RouteWheel(
        [this](const QWidget* focus) {
            if (m_eq->IsWheelTarget(focus) || focus == m_effectSlider) return true;
            for (int i = 0; i < kInputs; ++i)
                if (focus == m_gate[i] || focus == m_volume[i]) return true;
            return false;
        },
        [this](QWidget* focus, int direction) {
            if (focus != m_effectList) return false;
            StepEffect(direction);
            return true;
        });

    connect(&m_meterTimer, &QTimer::timeout, this, &CDialogMusic::UpdateMeters);
    m_meterTimer.start(kMeterPeriodMs);
    FitHost(QSize(1280, 640));
    Layout();
    Reload();
}

void CDialogMusic::CreateSubPageButtons() {
    static const char* const texts[3] = {"话筒通道A", "话筒通道B", "音乐"};
    for (int i = 0; i < 3; ++i) {
        auto* button = new CGdipButton(this);
        button->setText(QString::fromUtf8(texts[i]));
        button->SetToggle(true);
        button->SetFaceColor(kSubPages[i].buttonFace);
        SetCtrlId(button, IDC_MUSIC_SUBPAGE_A + i);
        connect(button, &QAbstractButton::clicked, this, [this, i] { OnSubPageButton(i); });
        m_subPageButtons[i] = button;
    }
}

void CDialogMusic::CreateInputs() {
    for (int i = 0; i < kInputs; ++i) {
        const QByteArray name = QStringLiteral("话筒口%1").arg(i + 1).toUtf8();
        m_inputLabels[i] =
            MakeLabel(this, IDC_MUSIC_INPUT_LABEL + i, name.constData(), Qt::AlignCenter);
        QFont bold = m_inputLabels[i]->font();
        bold.setBold(true);
        m_inputLabels[i]->setFont(bold);
        auto* group = new QButtonGroup(this);
        m_routeA[i] = MakeRadio(this, IDC_MUSIC_ROUTE_A + 2 * i, "通道A", group);
        m_routeB[i] = MakeRadio(this, IDC_MUSIC_ROUTE_A + 2 * i + 1, "通道B", group);
        connect(m_routeA[i], &QAbstractButton::clicked, this, [this, i] { OnRoute(i, true); });
        connect(m_routeB[i], &QAbstractButton::clicked, this, [this, i] { OnRoute(i, false); });

        m_gate[i] = MakeSlider(this, IDC_MUSIC_NOISE_GATE + i, 0, 100, true);
        m_volume[i] = MakeSlider(this, IDC_MUSIC_VOLUME + i, 0, 100, true);
        m_volume[i]->SetAccentColor(QColor(0, 200, 80));
        for (CXBmpSlider* slider : {m_gate[i], m_volume[i]})
            connect(slider, &CXBmpSlider::PositionChanging, this, &CDialogMusic::OnInputSlider);
        m_gateCaption[i] =
            MakeLabel(this, IDC_MUSIC_GATE_VALUE + 2 * i + 1, "噪声门", Qt::AlignCenter);
        m_volumeCaption[i] =
            MakeLabel(this, IDC_MUSIC_VOLUME_VALUE + 2 * i + 1, "音量", Qt::AlignCenter);
        m_gateValue[i] = MakeValue(this, IDC_MUSIC_GATE_VALUE + 2 * i);
        m_volumeValue[i] = MakeValue(this, IDC_MUSIC_VOLUME_VALUE + 2 * i);
        m_inputMeters[i] = MakeMeter(this, IDC_MUSIC_INPUT_METER + i, true);

        // The template hides microphone inputs 3 and 4.
        if (i >= 2) {
            for (QWidget* w : std::initializer_list<QWidget*>{
                     m_inputLabels[i], m_routeA[i], m_routeB[i], m_gate[i], m_volume[i],
                     m_gateCaption[i], m_volumeCaption[i], m_gateValue[i], m_volumeValue[i],
                     m_inputMeters[i]})
                w->hide();
        }
    }
    m_peakGroup = new QGroupBox(QString::fromUtf8("音乐电平"), this);
    SetCtrlId(m_peakGroup, IDC_MUSIC_PEAK_GROUP);
    m_musicMeters[0] = MakeMeter(this, IDC_MUSIC_MUSIC_METER, false);
    m_musicMeters[1] = MakeMeter(this, IDC_MUSIC_MUSIC_METER + 1, false);
    m_streamFormat = MakeLabel(this, IDC_MUSIC_STREAM_FORMAT, "", Qt::AlignCenter);
    QFont formatFont(QStringLiteral("Arial"));
    formatFont.setPixelSize(18);
    formatFont.setBold(true);
    m_streamFormat->setFont(formatFont);
    m_streamFormat->setStyleSheet(QStringLiteral("color: rgb(0, 110, 180);"));
}

void CDialogMusic::CreateEffects() {
    m_effectList = new CGridListCtrlEx(this);
    SetCtrlId(m_effectList, IDC_MUSIC_EFFECT_LIST);
    for (int width : kEffectColumns[0]) m_effectList->AddColumn(QString(), width);
    m_effectList->SetRowCount(kEffectRows);
    m_effectList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_effectList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_effectList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_effectList->SetInputToOwner(true);
    m_effectList->SetTextColor(QColor(20, 40, 90));
    connect(m_effectList, &CGridListCtrlEx::RowSelected, this, &CDialogMusic::SelectEffectRow);
    connect(m_effectList, &QTableWidget::cellClicked, this,
            [this](int row, int) { SelectEffectRow(row); });
    connect(m_effectList, &CGridListCtrlEx::ArrowKey, this,
            [this](int key) { StepEffect(key == Qt::Key_Up || key == Qt::Key_Right ? 1 : -1); });
    connect(m_effectList, &CGridListCtrlEx::WheelStep, this, &CDialogMusic::StepEffect);

    m_effectSlider = MakeSlider(this, IDC_MUSIC_EFFECT_SLIDER, 0, 100, true);
    m_effectSlider->SetAccentColor(QColor(255, 140, 0));
    connect(m_effectSlider, &CXBmpSlider::PositionChanging, this,
            [this](int, int position) { OnEffectSlider(position); });
    m_effectName = MakeLabel(this, IDC_MUSIC_EFFECT_NAME, "", Qt::AlignRight | Qt::AlignVCenter);
    m_effectEdit = new QLineEdit(this);
    SetCtrlId(m_effectEdit, IDC_MUSIC_EFFECT_EDIT);
    m_effectEdit->setReadOnly(true);
    m_effectEdit->setAlignment(Qt::AlignCenter);
}

void CDialogMusic::CreatePreviews() {
    QFont bold = font();
    bold.setBold(true);
    m_reverbCaption = MakeLabel(this, IDC_MUSIC_REVERB_CAPTION, "混响均衡");
    m_echoCaption = MakeLabel(this, IDC_MUSIC_ECHO_CAPTION, "回声均衡");
    m_reverbCaption->setFont(bold);
    m_echoCaption->setFont(bold);
    m_reverbHint = MakeLabel(this, IDC_MUSIC_REVERB_HINT, "点击下面方框进入混响均衡调节界面");
    m_echoHint = MakeLabel(this, IDC_MUSIC_ECHO_HINT, "点击下面方框进入回声均衡调节界面");
    for (QLabel* hint : {m_reverbHint, m_echoHint}) {
        hint->setWordWrap(true);
        hint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        hint->setStyleSheet(QStringLiteral("color: rgb(96, 112, 128);"));
    }
    m_reverbPreview = new CSmallEqPanel(this);
    m_reverbPreview->SetControlId(IDC_MUSIC_REVERB_PREVIEW);
    SetCtrlId(m_reverbPreview, IDC_MUSIC_REVERB_PREVIEW);
    m_echoPreview = new CSmallEqPanel(this);
    m_echoPreview->SetControlId(IDC_MUSIC_ECHO_PREVIEW);
    SetCtrlId(m_echoPreview, IDC_MUSIC_ECHO_PREVIEW);
    for (CSmallEqPanel* preview : {m_reverbPreview, m_echoPreview}) {
        preview->setCursor(Qt::PointingHandCursor);
        connect(preview, &CSmallEqPanel::Clicked, this, &CDialogMusic::OnPreviewClicked);
    }

    m_echoTypeCaption = MakeLabel(this, IDC_MUSIC_ECHO_TYPE_CAPTION, "回声均衡类型");
    auto* group = new QButtonGroup(this);
    m_echoMono = MakeRadio(this, IDC_MUSIC_ECHO_MONO, "单声回声", group);
    m_echoStereo = MakeRadio(this, IDC_MUSIC_ECHO_STEREO, "双声回声", group);
    connect(m_echoMono, &QAbstractButton::clicked, this, [this] { OnEchoType(0); });
    connect(m_echoStereo, &QAbstractButton::clicked, this, [this] { OnEchoType(1); });
}

// ------------------------------------------------------------------ layout

void CDialogMusic::Layout() {
    const int w = width();
    const int h = height();
    constexpr int margin = 8;
    constexpr int leftWidth = 284;

    for (int i = 0; i < 3; ++i) m_subPageButtons[i]->setGeometry(margin + i * 96, margin, 92, 30);

    // Music peak group at the bottom of the left column; the input strips above it.
    const QRect group(margin, h - margin - 112, leftWidth, 112);
    m_peakGroup->setGeometry(group);
    m_musicMeters[0]->setGeometry(group.left() + 12, group.top() + 26, group.width() - 24, 16);
    m_musicMeters[1]->setGeometry(group.left() + 12, group.top() + 48, group.width() - 24, 16);
    m_streamFormat->setGeometry(group.left() + 12, group.top() + 72, group.width() - 24, 30);

    constexpr int stripTop = 48;
    const int sliderTop = stripTop + 70;
    const int sliderHeight = std::max(80, group.top() - 34 - sliderTop);
    for (int i = 0; i < kInputs; ++i) {
        const int x = margin + (i % 2) * 144;
        m_inputLabels[i]->setGeometry(x, stripTop, 136, 22);
        m_routeA[i]->setGeometry(x + 2, stripTop + 24, 66, 22);
        m_routeB[i]->setGeometry(x + 70, stripTop + 24, 66, 22);
        m_gateCaption[i]->setGeometry(x, stripTop + 50, 50, 18);
        m_volumeCaption[i]->setGeometry(x + 86, stripTop + 50, 50, 18);
        m_gate[i]->setGeometry(x + 11, sliderTop, 28, sliderHeight);
        m_inputMeters[i]->setGeometry(x + 60, sliderTop, 16, sliderHeight);
        m_volume[i]->setGeometry(x + 97, sliderTop, 28, sliderHeight);
        m_gateValue[i]->setGeometry(x, sliderTop + sliderHeight + 4, 50, 20);
        m_volumeValue[i]->setGeometry(x + 86, sliderTop + sliderHeight + 4, 50, 20);
    }

    // The EQ graph over the right part; below it the band list, the effects
    // and the previews.
    const int x0 = margin + leftWidth + 10;
    const int x1 = w - margin;
    const int bottomHeight = std::min(292, std::max(200, h * 45 / 100));
    const int bottom = h - margin - bottomHeight;
    m_eq->PlaceGraph(QRect(x0, margin, x1 - x0, bottom - 8 - margin));
    m_eq->PlaceListArea(QRect(x0, bottom, kBandListWidth, bottomHeight));

    // Where the two previews cannot stand side by side, the effect list
    // narrows and the previews stand one above the other.
    const int effectX = x0 + kBandListWidth + 10;
    const int wideRoom = x1 - (effectX + kEffectListWidth[0] + 48);
    const bool sideBySide = wideRoom >= 2 * kMinPreviewWidth + 12;
    const int* columns = sideBySide ? kEffectColumns[0] : kEffectColumns[1];
    const int listWidth = kEffectListWidth[sideBySide ? 0 : 1];
    for (int c = 0; c < 3; ++c) m_effectList->setColumnWidth(c, columns[c]);
    m_effectList->setGeometry(effectX, bottom, listWidth, 206);
    m_effectName->setGeometry(effectX, bottom + 214, listWidth - 108, 24);
    m_effectEdit->setGeometry(effectX + listWidth - 100, bottom + 214, 100, 24);
    const int sliderX = effectX + listWidth + 8;
    m_effectSlider->setGeometry(sliderX, bottom, 28, bottomHeight);

    const QRect previews(sliderX + 40, bottom, x1 - sliderX - 40, bottomHeight);
    if (sideBySide)
        PlacePreviewsSideBySide(previews);
    else
        PlacePreviewsStacked(previews);
}

void CDialogMusic::PlacePreviewsSideBySide(const QRect& area) {
    const int previewWidth = (area.width() - 12) / 2;
    const int previewHeight = std::max(80, area.height() - 58 - 62);
    const int echoX = area.left() + previewWidth + 12;
    const int top = area.top();
    m_reverbCaption->setGeometry(area.left(), top, previewWidth, 20);
    m_echoCaption->setGeometry(echoX, top, previewWidth, 20);
    m_reverbHint->setGeometry(area.left(), top + 22, previewWidth, 34);
    m_echoHint->setGeometry(echoX, top + 22, previewWidth, 34);
    m_reverbHint->show();
    m_echoHint->show();
    m_reverbPreview->setGeometry(area.left(), top + 58, previewWidth, previewHeight);
    m_echoPreview->setGeometry(echoX, top + 58, previewWidth, previewHeight);
    PlaceEchoType(QRect(echoX, top + 58 + previewHeight + 10, previewWidth, 46));
}

// One column: each caption over its preview (the click hint becomes the
// preview's tooltip), the echo type at the bottom.
void CDialogMusic::PlacePreviewsStacked(const QRect& area) {
    constexpr int caption = 20;
    constexpr int typeHeight = 46;
    const int previewHeight = (area.height() - 2 * (caption + 2) - 8 - typeHeight - 4) / 2;
    int y = area.top();
    for (auto [label, preview, hint] : {std::tuple{m_reverbCaption, m_reverbPreview, m_reverbHint},
                                        std::tuple{m_echoCaption, m_echoPreview, m_echoHint}}) {
        label->setGeometry(area.left(), y, area.width(), caption);
        preview->setGeometry(area.left(), y + caption + 2, area.width(), previewHeight);
        hint->hide();
        y += caption + 2 + previewHeight + 8;
    }
    PlaceEchoType(QRect(area.left(), area.bottom() + 1 - typeHeight, area.width(), typeHeight));
}

void CDialogMusic::PlaceEchoType(const QRect& area) {
    m_echoTypeCaption->setGeometry(area.left(), area.top(), area.width(), 20);
    const int half = area.width() / 2;
    m_echoMono->setGeometry(area.left(), area.top() + 24, half, 22);
    m_echoStereo->setGeometry(area.left() + half, area.top() + 24, area.width() - half, 22);
}

// ------------------------------------------------------------------ refresh

void CDialogMusic::SelectSubPage(int subPage) {
    CHalvoxPage::SelectSubPage(std::clamp(subPage, 0, 2));
}

void CDialogMusic::Reload() {
    LoadTexts();
    RefreshInputs();
    const SubPageSetup& setup = kSubPages[m_subPage];
    m_eq->SetSet(setup.set, setup.bypass, setup.listColor);
    m_eq->Load();
    RefreshEffects();
    RefreshPreviews();
}

void CDialogMusic::LoadTexts() {
    LoadDialogTexts(this, kResource);
    // The click hints also stand where they may not fit beside the previews.
    m_reverbPreview->setToolTip(m_reverbHint->text());
    m_echoPreview->setToolTip(m_echoHint->text());
    m_effectList->SetColumnHeader(0, QString());
    m_effectList->SetColumnHeader(1, Tr("参数名", "Parameter name"));
    m_effectList->SetColumnHeader(2, Tr("参数值", "Value"));
    for (int row = 0; row < kEffectRows; ++row) {
        m_effectList->SetCellText(row, 0, QString::number(row + 1));
        m_effectList->SetCellText(row, 1, EffectName(row));
    }
    m_eq->Relabel();
}

void CDialogMusic::RefreshInputs() {
    for (int i = 0; i < kInputs; ++i) {
        const bool chainA = GetDspParam(1, 34 + i) != 0;
        m_routeA[i]->setChecked(chainA);
        m_routeB[i]->setChecked(!chainA);
        const int gate = int(GetDspParam(1, 8 + i));
        const int volume = int(GetDspParam(1, 4 + i));
        m_gate[i]->SetPos(gate);
        m_volume[i]->SetPos(volume);
        m_gateValue[i]->setText(QString::number(gate));
        m_volumeValue[i]->setText(QString::number(volume));
    }
    for (int i = 0; i < 3; ++i) m_subPageButtons[i]->setChecked(i == m_subPage);
}

void CDialogMusic::RefreshEffects() {
    const bool enabled = EffectsEnabled();
    for (QWidget* w : std::initializer_list<QWidget*>{m_effectList, m_effectSlider, m_effectEdit,
                                                      m_effectName, m_reverbPreview, m_echoPreview,
                                                      m_echoTypeCaption, m_echoMono, m_echoStereo})
        w->setEnabled(enabled);
    for (int row = 0; row < kEffectRows; ++row)
        m_effectList->SetCellText(row, 2, enabled ? EffectValueText(row) : QString());
    const bool stereo = GetDspParam(2, kEchoType[Chain()]) != 0;
    fx::CheckInGroup(m_echoMono->group(), !enabled ? nullptr : stereo ? m_echoStereo : m_echoMono);
    ShowEffectRow();
}

void CDialogMusic::RefreshPreviews() {
    const int chain = Chain();
    const QColor color = QColor::fromRgba(kSubPages[m_subPage].previewColor);
    LoadPreview(m_reverbPreview, 4 + chain);
    LoadPreview(m_echoPreview, 2 + chain);
    m_reverbPreview->SetCurveColor(color);
    m_echoPreview->SetCurveColor(color);
    const bool effects = EffectsEnabled();
    m_reverbPreview->SetBypass(effects && GetDspParam(3, kReverbEqBypass[chain]) != 0);
    m_echoPreview->SetBypass(effects && GetDspParam(2, kEchoEqBypass[chain]) != 0);
}

void CDialogMusic::LoadPreview(CSmallEqPanel* preview, int set) {
    for (int b = 0; b < CSmallEqPanel::kBands; ++b) {
        const int offset = EqBandOffset(set, b);
        if (offset < 0) continue;
        const EqBandRecord record = DecodeEqBandRecord(&Store().Panel()[offset]);
        preview->LoadBand(b, record.type, float(record.frequency), float(record.gain),
                          float(record.q));
    }
}

// ------------------------------------------------------------------ inputs

void CDialogMusic::OnSubPageButton(int subPage) {
    // A toggle button unchecks itself when clicked again; the sub-page decides.
    for (int i = 0; i < 3; ++i) m_subPageButtons[i]->setChecked(i == subPage);
    if (m_navigator.IsSet()) {
        m_navigator.ShowPage(PAGE_MUSIC, subPage);
        return;
    }
    SelectSubPage(subPage);
    Reload();
}

void CDialogMusic::OnRoute(int input, bool chainA) {
    SetDspParam(1, 34 + input, chainA ? 100 : 0);
    SetDspParam(1, 61 + input, chainA ? 0 : 100);
}

void CDialogMusic::OnInputSlider(int controlId, int position) {
    const int gate = controlId - IDC_MUSIC_NOISE_GATE;
    const int volume = controlId - IDC_MUSIC_VOLUME;
    if (gate >= 0 && gate < kInputs) {
        SetDspParam(1, 8 + gate, position);
        m_gateValue[gate]->setText(QString::number(position));
    } else if (volume >= 0 && volume < kInputs) {
        SetDspParam(1, 4 + volume, position);
        m_volumeValue[volume]->setText(QString::number(position));
    }
}

void CDialogMusic::UpdateMeters() {
    for (int i = 0; i < kInputs; ++i) {
        const int level = Store().StatusBlock()[i];
        m_inputMeters[i]->SetData(&level, 0, 1);
    }
    for (int i = 0; i < 2; ++i) {
        const int level = Store().StatusBlock()[4 + i];
        m_musicMeters[i]->SetData(&level, 0, 1);
    }
    const int format = Store().StatusBlock()[7] & 0x0F;
    if (format < 9) m_streamFormat->setText(QString::fromLatin1(kStreamFormats[format]));
    // The graph's banner follows the switch whoever changed it.
    m_eq->SyncBypassFlag();
}

// ------------------------------------------------------------------ effects

QString CDialogMusic::EffectName(int row) {
    if (row < 0 || row >= kEffectRows) return QString();
    return Tr(kEffectTable[row].zh, kEffectTable[row].en);
}

int CDialogMusic::EffectValue(int row) const {
    if (row < 0 || row >= kEffectRows) return 0;
    const EffectRow& def = kEffectTable[row];
    const int chain = Chain();
    switch (def.kind) {
    case RowKind::Percent:
    case RowKind::ReverbTime:
        return int(GetDspParam(def.block, def.parameter[chain]));
    case RowKind::Millis:
        return fx::SaturateTo<int>(std::round(GetDspParam(def.block, def.parameter[chain])));
    case RowKind::Shift:
        return fx::SaturateTo<int>(chain == 0 ? g_ShiftFrequencyA() : g_ShiftFrequencyB());
    }
    return 0;
}

QString CDialogMusic::EffectValueText(int row) const {
    if (row < 0 || row >= kEffectRows) return QString();
    const int value = EffectValue(row);
    switch (kEffectTable[row].kind) {
    case RowKind::Percent:
        return QString::asprintf("%d%%", value);
    case RowKind::Millis:
        return QString::asprintf("%dms", value);
    case RowKind::ReverbTime:
        return QString::asprintf("%.0fms", 40 + 49.6 * value);
    case RowKind::Shift:
        return value == 0 || value == 1 ? Tr("关闭", "Off") : QString::asprintf("%dHz", value);
    }
    return QString();
}

void CDialogMusic::SelectEffectRow(int row) {
    if (row < 0 || row >= kEffectRows) return;
    m_effectRow = row;
    if (m_effectList->SelectedRow() != row) m_effectList->SelectRow(row);
    ShowEffectRow();
}

void CDialogMusic::ShowEffectRow() {
    const EffectRow& def = kEffectTable[m_effectRow];
    m_effectSlider->SetRange(def.minimum, def.maximum);
    // A device value outside the range sits at the slider's end; the text keeps it.
    m_effectSlider->SetPos(EffectValue(m_effectRow));
    m_effectName->setText(EffectName(m_effectRow));
    m_effectEdit->setText(EffectsEnabled() ? EffectValueText(m_effectRow) : QString());
    if (m_effectList->SelectedRow() != m_effectRow) m_effectList->SelectRow(m_effectRow);
}

void CDialogMusic::OnEffectSlider(int position) {
    if (!EffectsEnabled()) return;
    ApplyEffect(m_effectRow, position);
}

void CDialogMusic::StepEffect(int direction) {
    if (!EffectsEnabled() || m_effectList->SelectedRow() < 0) return;
    const int position = std::clamp(m_effectSlider->GetPos() + direction, m_effectSlider->Minimum(),
                                    m_effectSlider->Maximum());
    m_effectSlider->SetPos(position);
    ApplyEffect(m_effectRow, position);
}

void CDialogMusic::ApplyEffect(int row, int value) {
    if (!EffectsEnabled() || row < 0 || row >= kEffectRows) return;
    const EffectRow& def = kEffectTable[row];
    const int chain = Chain();
    const int parameter = def.parameter[chain];
    switch (def.kind) {
    case RowKind::Percent:
    case RowKind::Millis:
        SetDspParam(def.block, parameter, value);
        break;
    case RowKind::ReverbTime:
        // The reverb time is two parameters that always get the same value.
        SetDspParam(def.block, parameter, value);
        SetDspParam(def.block, parameter + 1, value);
        break;
    case RowKind::Shift:
        ApplyShift(chain, value);
        break;
    }
    m_effectList->SetCellText(row, 2, EffectValueText(row));
    if (row == m_effectRow) {
        m_effectEdit->setText(EffectValueText(row));
        m_effectSlider->SetPos(EffectValue(row));
    }
}

void CDialogMusic::ApplyShift(int chain, int value) {
    (chain == 0 ? g_ShiftFrequencyA() : g_ShiftFrequencyB()) = value;
    // Values 0 and 1 both mean off: the window below needs a positive shift.
    if (value <= 1) {
        const uint32_t off = 1;
        WriteDspParam(1, kShiftOff[chain], &off, 1);
        return;
    }
    const uint32_t on = 0;
    WriteDspParam(1, kShiftOff[chain], &on, 1);
    const uint32_t step = FloatBits(float(value * 2.0 * std::numbers::pi / 48000.0));
    WriteDspParam(1, kShiftStep[chain], &step, 1);
    const uint32_t window = uint32_t((1000.0 / (4.0 * value) - 25.0) * 48000.0 / 1000.0 + 0.5);
    WriteDspParam(1, kShiftWindow[chain], &window, 1);
}

void CDialogMusic::OnEchoType(int stereo) {
    if (!EffectsEnabled()) return;
    SetDspParam(2, kEchoType[Chain()], stereo);
}

void CDialogMusic::OnPreviewClicked(int controlId) {
    if (!EffectsEnabled()) return;
    const int chain = Chain();
    const int effectPage = controlId == IDC_MUSIC_REVERB_PREVIEW ? chain : 2 + chain;
    m_navigator.ShowPage(PAGE_EFFECTS, effectPage);
}

FX_REGISTER_PAGE(PAGE_MUSIC,
                 [](int subPage, QWidget* parent, const CPageNavigator& navigator,
                    fx::ParamStore& store) -> CHalvoxPage* {
                     return new CDialogMusic(subPage, parent, store, navigator);
                 });
