#include "pages/CDialogOutput.h"

#include "controls/CEqPanel.h"
#include "controls/CGdipButton.h"
#include "controls/CGridListCtrlEx.h"
#include "controls/CXBmpSlider.h"
#include "controls/EqModel.h"
#include "controls/Localisation.h"
#include "pages/CCompressorSection.h"
#include "pages/CEqEditor.h"
#include "pages/CLevelRows.h"
#include "pages/CPageNavRow.h"
#include "pages/DialogControls.h"
#include "pages/PageRegistry.h"
#include "state/ChannelLinks.h"
#include "state/Compressor.h"
#include "state/JobUi.h"
#include "state/ParamImage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>

#include <algorithm>
#include <cmath>

using fx::MakePageCtrl;
using fx::MakePageGroup;
using fx::MakePageSlider;

using namespace fx::page;

namespace {
constexpr int kLeftWidth = 336;
constexpr int kRow = 24;
constexpr int kStripHeight = 236;
constexpr int kListWidth = 266;
constexpr int kListHeight = 10 * 18 + 26;

const int kLinkIds[kLinkPairCount] = {IDC_OUT_LINK_12, IDC_OUT_LINK_34, IDC_OUT_LINK_78};
const char* const kLinkTexts[kLinkPairCount] = {"通道1+通道2齐调节", "通道3+通道4齐调节",
                                                "通道7+通道8齐调节"};
const QColor kListColor(0, 200, 255);
const QColor kCurrentChannel(0, 110, 200);

} // namespace

CDialogOutput::CDialogOutput(int channel, QWidget* parent, fx::ParamStore& store,
                             CPageNavigator navigator)
    : COutputSidePageBase(kResource, parent, store) {
    m_subPage = std::clamp(channel, 0, kOutputChannelCount - 1);
    // Frames first, so the controls they hold lie above them.
    CreateLevels(MixLevelRows());
    m_channelGroup = MakePageGroup(this);
    m_delayGroup = MakePageGroup(this);
    CreateHeader(std::move(navigator));
    m_nav->SetChannelHandler([this](int ch) { SetChannel(ch); });
    CreateChannelRows();
    CreateDelay();
    CreateCompressor();
    CreateEqWithCrossover();

    RouteWheel([this](const QWidget* focus) { return TakesWheel(focus); });
    FitHost(QSize(1040, 560));
    Relabel();
    RefreshOutputPage();
}

// ------------------------------------------------------------------ controls

void CDialogOutput::CreateChannelRows() {
    for (int c = 0; c < kOutputChannelCount; ++c) {
        m_channelNames[c] = MakePageCtrl<QLabel>(this, 0);
        m_sources[c] = MakePageCtrl<QComboBox>(this, IDC_OUT_SOURCE + c);
        connect(m_sources[c], &QComboBox::activated, this,
                [this, c](int index) { OnSource(c, index); });
        m_mutes[c] = MakePageCtrl<QCheckBox>(this, MuteId(c), "静音");
        connect(m_mutes[c], &QCheckBox::clicked, this,
                [this, c](bool checked) { OnMute(c, checked); });
        m_phases[c] = MakePageCtrl<QCheckBox>(this, IDC_OUT_PHASE + c, "相位180°");
        connect(m_phases[c], &QCheckBox::clicked, this,
                [this, c](bool checked) { OnPhase(c, checked); });
    }
    for (int pair = 0; pair < kLinkPairCount; ++pair) {
        m_links[pair] = MakePageCtrl<QCheckBox>(this, kLinkIds[pair], kLinkTexts[pair]);
        connect(m_links[pair], &QCheckBox::clicked, this,
                [this, pair](bool checked) { OnLink(pair, checked); });
    }
}

void CDialogOutput::CreateDelay() {
    m_delaySwitch = MakePageCtrl<QCheckBox>(this, IDC_OUT_DELAY_SWITCH, "延时开关");
    connect(m_delaySwitch, &QCheckBox::clicked, this, &CDialogOutput::OnDelaySwitch);
    auto* modes = new QButtonGroup(this);
    m_highBand = MakePageCtrl<QRadioButton>(this, IDC_OUT_HIGH_BAND, "高频延时");
    m_wholeChannel = MakePageCtrl<QRadioButton>(this, IDC_OUT_WHOLE_CHANNEL, "通道延时");
    modes->addButton(m_highBand);
    modes->addButton(m_wholeChannel);
    connect(m_highBand, &QRadioButton::clicked, this, [this] { OnDelayMode(false); });
    connect(m_wholeChannel, &QRadioButton::clicked, this, [this] { OnDelayMode(true); });

    m_splitCaption = MakePageCtrl<QLabel>(this, 0);
    m_splitValue = fx::MakeValueLabel(this, IDC_OUT_SPLIT_VALUE);
    m_splitSlider = MakePageSlider(this, IDC_OUT_SPLIT, 0, kSplitRowCount - 1);
    connect(m_splitSlider, &CXBmpSlider::PositionChanging, this,
            [this](int, int position) { OnSplit(position); });
    m_delayCaption = MakePageCtrl<QLabel>(this, IDC_OUT_DELAY_CAPTION, "延时时间");
    m_delayValue = fx::MakeValueLabel(this, IDC_OUT_DELAY_VALUE);
    m_delaySlider = MakePageSlider(this, IDC_OUT_DELAY, kDelayMin, kDelayMax);
    m_delaySlider->SetAccentColor(QColor(255, 140, 0));
    connect(m_delaySlider, &CXBmpSlider::PositionChanging, this,
            [this](int, int position) { OnDelayTime(position); });
}

void CDialogOutput::CreateEqWithCrossover() {
    CreateEq();
    m_xoverCaption = MakePageCtrl<QLabel>(this, IDC_OUT_XOVER_CAPTION, "类型");
    m_xover = MakePageCtrl<QComboBox>(this, IDC_OUT_XOVER);
    for (const CrossoverAlignmentRow& row : CrossoverAlignment)
        m_xover->addItem(QString::fromLatin1(row.name));
    connect(m_xover, &QComboBox::activated, this, &CDialogOutput::OnCrossover);
    connect(m_eq, &CEqEditor::SelectionChanged, this, [this] { ShowCrossover(); });
    connect(m_eq, &CEqEditor::BandWritten, this, [this] { ShowCrossover(); });
    ShowCrossover();
}

int CDialogOutput::MuteId(int channel) {
    return channel == 0 ? IDC_OUT_MUTE_FIRST : IDC_OUT_MUTE_FIRST + 1 + channel;
}

QString CDialogOutput::ChannelPicture(int channel, int language) {
    return QStringLiteral(":/pages/output-ch%1-%2.png")
        .arg(std::clamp(channel, 0, kOutputChannelCount - 1) + 1)
        .arg(language == 1 ? QStringLiteral("en") : QStringLiteral("zh"));
}

// ------------------------------------------------------------------ layout

void CDialogOutput::Layout() {
    const int w = width();
    const int h = height();
    m_nav->Place(QRect(kMargin, kMargin, w - 2 * kMargin, kNavHeight));
    LayoutLeft();

    // Right of it: the band list (or editor), the delay and the compressor
    // side by side, and under them the graph, which takes the rest.
    const int x0 = kMargin + kLeftWidth + kGap;
    const int right = w - kMargin;
    // The band list keeps its width and height; the graph takes what grows.
    const QRect listArea(x0, kTop, kListWidth, kListHeight);
    m_eq->PlaceListArea(listArea);
    m_xoverCaption->setGeometry(x0, kTop + 190, 44, 24);
    m_xover->setGeometry(x0 + 48, kTop + 190, kListWidth - 48, 24);

    const int groupsX = x0 + kListWidth + kGap;
    const int groupWidth = std::clamp((right - groupsX - kGap) / 2, 180, 320);
    const QRect delay(groupsX, kTop - 6, groupWidth, kStripHeight + 2);
    m_delayGroup->setGeometry(delay);
    LayoutDelay(delay.adjusted(8, kGroupTitle, -8, -6));
    const QRect comp(groupsX + groupWidth + kGap, kTop - 6, groupWidth, kStripHeight + 2);
    m_compGroup->setGeometry(comp);
    m_comp->Place(comp.adjusted(8, kGroupTitle, -8, -6), 24, true);

    const int graphTop = kTop + kStripHeight + 4;
    m_eq->PlaceGraph(QRect(x0, graphTop, std::max(0, right - x0), std::max(0, h - graphTop - 4)));
}

void CDialogOutput::LayoutLeft() {
    m_picture->setGeometry(kMargin, kTop, kLeftWidth, kPictureHeight);
    int y = kTop + kPictureHeight + 6;
    const QRect levels(kMargin, y, kLeftWidth, kGroupTitle + kOutputLevelCount * kRow + 6);
    m_levels->Place(levels);
    const int inner = kLeftWidth - 16;
    y = levels.bottom() + 6;
    const QRect rows(kMargin, y, kLeftWidth,
                     kGroupTitle + kOutputChannelCount * kRow + kLinkPairCount * 22 + 10);
    m_channelGroup->setGeometry(rows);
    for (int c = 0; c < kOutputChannelCount; ++c) {
        const int rowY = rows.top() + kGroupTitle + c * kRow;
        int x = kMargin + 8;
        m_channelNames[c]->setGeometry(x, rowY, 46, kRow - 2);
        x += 48;
        m_sources[c]->setGeometry(x, rowY, 102, kRow - 3);
        x += 108;
        m_mutes[c]->setGeometry(x, rowY, 66, kRow - 2);
        x += 68;
        m_phases[c]->setGeometry(x, rowY, kMargin + kLeftWidth - 4 - x, kRow - 2);
    }
    for (int pair = 0; pair < kLinkPairCount; ++pair) {
        const int rowY = rows.top() + kGroupTitle + kOutputChannelCount * kRow + 4 + pair * 22;
        m_links[pair]->setGeometry(kMargin + 8, rowY, inner, 22);
    }
}

void CDialogOutput::LayoutDelay(const QRect& area) {
    const int x = area.left();
    const int w = area.width();
    int y = area.top();
    m_delaySwitch->setGeometry(x, y, w, 22);
    m_highBand->setGeometry(x, y += 24, w, 22);
    m_wholeChannel->setGeometry(x, y += 24, w, 22);
    m_splitCaption->setGeometry(x, y += 28, w - 64, 20);
    m_splitValue->setGeometry(x + w - 64, y, 64, 20);
    m_splitSlider->setGeometry(x, y += 20, w, 22);
    m_delayCaption->setGeometry(x, y += 28, w - 64, 20);
    m_delayValue->setGeometry(x + w - 64, y, 64, 20);
    m_delaySlider->setGeometry(x, y += 20, w, 22);
}

// ------------------------------------------------------------------ channel

void CDialogOutput::SelectSubPage(int channel) {
    SetChannel(channel);
}

void CDialogOutput::SetChannel(int channel) {
    CHalvoxPage::SelectSubPage(std::clamp(channel, 0, kOutputChannelCount - 1));
    RefreshOutputPage();
    Relabel();
}

std::array<bool, kOutputChannelCount> CDialogOutput::GetLinkedChannels() const {
    return LinkedChannels(Channel());
}

// ------------------------------------------------------------------ refresh

void CDialogOutput::Reload() {
    RefreshOutputPage();
}

void CDialogOutput::RefreshOutputPage() {
    const int ch = Channel();
    m_comp->SetIndex(ch);
    RefreshHeader();
    m_eq->SetSet(OutputEqSet(ch), {OutputBlock(ch), OUT_EQ_BYPASS}, kListColor);
    m_eq->Load();
    RefreshChannelRows();
    RefreshDelay();
}

QString CDialogOutput::PicturePath() const {
    return ChannelPicture(Channel(), g_Language);
}

int CDialogOutput::OwnNavButton() const {
    return CPageNavRow::ChannelButtonId(Channel());
}

int CDialogOutput::LevelPercent(int n) const {
    return int(GetDspParam(OutputBlock(Channel()), OUT_LEVEL_FIRST + n));
}

void CDialogOutput::RefreshChannelRows() {
    for (int c = 0; c < kOutputChannelCount; ++c) {
        const int block = OutputBlock(c);
        m_mutes[c]->setChecked(GetDspParam(block, OUT_MUTE) == 0);
        m_phases[c]->setChecked(GetDspParam(block, OUT_PHASE) < 0);
        m_sources[c]->setCurrentIndex(
            std::clamp(int(GetDspParam(block, OUT_SOURCE)), 0, kOutputSourceCount - 1));
        const bool current = c == Channel();
        m_channelNames[c]->setStyleSheet(
            current ? QStringLiteral("color: %1; font-weight: bold;").arg(kCurrentChannel.name())
                    : QString());
    }
    for (int pair = 0; pair < kLinkPairCount; ++pair)
        m_links[pair]->setChecked(g_LinkFlags[pair] != 0);
}

void CDialogOutput::RefreshDelay() {
    const int ch = Channel();
    const int block = OutputBlock(ch);
    m_delaySwitch->setChecked(GetDspParam(block, OUT_DELAY_BYPASS) == 0);
    m_wholeChannel->setChecked(g_WholeChannelDelay()[ch]);
    m_highBand->setChecked(!g_WholeChannelDelay()[ch]);
    const int row = SplitRowOfChannel(ch);
    m_splitSlider->SetPos(row);
    m_splitValue->setText(QString::asprintf("%dHz", SplitFreqTable[row].splitHz));
    // A time below the slider's range (the default 1.33 ms) widens it, so
    // the slider shows the number its label shows.
    const double ms = GetDspParam(block, OUT_DELAY_TIME);
    const int position = std::clamp(int(std::lround(ms * 10.0)), 0, kDelayMax);
    m_delaySlider->SetRange(std::min(kDelayMin, position), kDelayMax);
    m_delaySlider->SetPos(position);
    m_delayValue->setText(QString::asprintf("%.1fms", ms));
    EnableDelay();
}

// The rule of every page for a switched-off section: its settings can still
// be made and are drawn grey. The split means something in high-band mode only.
void CDialogOutput::EnableDelay() {
    const bool on = m_delaySwitch->isChecked();
    const bool highBand = m_highBand->isChecked();
    fx::ShowFaint(m_highBand, !on);
    fx::ShowFaint(m_wholeChannel, !on);
    m_delayValue->setEnabled(on);
    m_delayCaption->setEnabled(on);
    m_delaySlider->SetFaint(!on);
    m_splitSlider->setEnabled(highBand);
    m_splitSlider->SetFaint(!on);
    m_splitValue->setEnabled(on && highBand);
    m_splitCaption->setEnabled(on && highBand);
}

void CDialogOutput::Relabel() {
    RelabelHeader(Tr("通道音量", "Channel levels"));
    m_eq->Relabel();
    FillSources();
    for (int c = 0; c < kOutputChannelCount; ++c)
        m_channelNames[c]->setText(Tr("通道%1", "CH %1").arg(c + 1));
    m_channelGroup->setTitle(Tr("输出信号源", "Output sources"));
    m_delayGroup->setTitle(Tr("延时", "Delay"));
    m_splitCaption->setText(Tr("分频点", "Split frequency"));
    m_picture->setPixmap(QPixmap(PicturePath()));
    Layout();
}

void CDialogOutput::FillSources() {
    for (QComboBox* combo : m_sources) {
        const int selected = std::max(0, combo->currentIndex());
        combo->clear();
        for (const OutputSourceName& name : kOutputSourceNames)
            combo->addItem(QString::fromUtf8(g_Language == 1 ? name.en : name.zh));
        combo->setCurrentIndex(selected);
    }
}

// ------------------------------------------------------------------ actions

void CDialogOutput::OnMute(int channel, bool checked) {
    SetDspParam(OutputBlock(channel), OUT_MUTE, checked ? 0 : 100);
}

void CDialogOutput::OnPhase(int channel, bool checked) {
    SetDspParam(OutputBlock(channel), OUT_PHASE, checked ? -100 : 100);
}

void CDialogOutput::OnSource(int channel, int index) {
    SetDspParam(OutputBlock(channel), OUT_SOURCE, index);
}

void CDialogOutput::OnLevel(int n, int position) {
    fx::SetLinkedDspParam(OutputBlock(Channel()), OUT_LEVEL_FIRST + n, position);
}

void CDialogOutput::OnDelaySwitch(bool checked) {
    fx::SetLinkedDspParam(OutputBlock(Channel()), OUT_DELAY_BYPASS, checked ? 0 : 1);
    EnableDelay();
}

void CDialogOutput::OnDelayMode(bool wholeChannel) {
    fx::SetLinkedDelayMode(Channel(), wholeChannel);
    EnableDelay();
}

void CDialogOutput::OnSplit(int row) {
    fx::SetLinkedDelaySplit(Channel(), row);
    m_splitValue->setText(QString::asprintf("%dHz", SplitFreqTable[row].splitHz));
}

void CDialogOutput::OnDelayTime(int position) {
    const double ms = position / 10.0;
    m_delayValue->setText(QString::asprintf("%.1fms", ms));
    fx::SetLinkedDspParam(OutputBlock(Channel()), OUT_DELAY_TIME, ms);
}

void CDialogOutput::OnLink(int pair, bool checked) {
    const ChannelPair& p = kLinkPairs[pair];
    if (checked && !ChannelsMatch(p.first, p.second)) {
        const QString first = Tr("以通道%1为标准同步", "Both set CH%1").arg(p.first + 1);
        const QString second = Tr("以通道%1为标准同步", "Both set CH%1").arg(p.second + 1);
        const int answer = AskThreeWay(
            Tr("通道参数不一致，是否需要同步？", "Parameter is different, Is need set same?")
                .toStdString(),
            first.toStdString(), second.toStdString(), this);
        if (answer == 1)
            SyncChannelPair(p.first, p.second);
        else if (answer == 2)
            SyncChannelPair(p.second, p.first);
        else
            checked = false;
    }
    m_links[pair]->setChecked(checked);
    g_LinkFlags[pair] = checked ? 1 : 0;
    JobSettings().SaveChannelLinkFlags();
    RefreshOutputPage();
}

// ------------------------------------------------------------------ crossover

void CDialogOutput::ShowCrossover() {
    const int band = m_eq->SelectedBand();
    bool shown = false;
    if (band >= 0 && m_eq->EditorShown()) {
        const EqBand& b = m_eq->Graph()->Band(band);
        const int type = CEqEditor::DisplayType(b);
        shown = b.sectionCount == 3 && (type == EQ_LP || type == EQ_HP || b.type > EQ_HS);
        if (shown) {
            SectionTypes types{b.type, 0, 0, 0};
            for (int s = 0; s < 3; ++s) types[s + 1] = b.sections[s] ? b.sections[s]->type : 0;
            m_xover->setCurrentIndex(MatchCrossover(types).alignment);
        }
    }
    m_xover->setVisible(shown);
    m_xoverCaption->setVisible(shown);
}

void CDialogOutput::OnCrossover(int alignment) {
    const int band = m_eq->SelectedBand();
    if (band < 0) return;
    const EqBand& b = m_eq->Graph()->Band(band);
    if (b.sectionCount != 3) return;
    SectionTypes types{b.type, 0, 0, 0};
    for (int s = 0; s < 3; ++s) types[s + 1] = b.sections[s] ? b.sections[s]->type : 0;
    m_eq->ApplyCompoundTypes(band, CrossoverSections(alignment, CrossoverIsLowPass(types)));
}

// ------------------------------------------------------------------ EQ commands

bool CDialogOutput::EqBypassed() const {
    return GetDspParam(OutputBlock(Channel()), OUT_EQ_BYPASS) != 0;
}

void CDialogOutput::ToggleEqBypass() {
    const int value = EqBypassed() ? 0 : 1;
    fx::SetLinkedDspParam(OutputBlock(Channel()), OUT_EQ_BYPASS, value);
    m_eq->SyncBypassFlag();
}

void CDialogOutput::ResetShownEq() {
    m_eq->Reset();
    ShowCrossover();
}

// ------------------------------------------------------------------ wheel

// Besides the shared ones, the split, compressor and delay sliders 1014..1019.
bool CDialogOutput::PageSliderTakesWheel(int id) const {
    return id >= IDC_OUT_SPLIT && id <= IDC_OUT_DELAY;
}

FX_REGISTER_PAGE(PAGE_OUTPUT,
                 [](int subPage, QWidget* parent, const CPageNavigator& navigator,
                    fx::ParamStore& store) -> CHalvoxPage* {
                     return new CDialogOutput(subPage, parent, store, navigator);
                 });
