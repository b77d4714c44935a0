#include "pages/CCompDlg.h"

#include "controls/CCompressPanelPlus.h"
#include "controls/Localisation.h"
#include "pages/CCompressorSection.h"
#include "pages/CPageNavRow.h"
#include "pages/CWheelRouter.h"
#include "pages/PageRegistry.h"
#include "state/OutputChannels.h"

#include <QComboBox>
#include <QLabel>

#include <algorithm>

namespace {
constexpr int kMargin = 8;
constexpr int kNavHeight = 30;
constexpr int kPanelWidth = 340;
constexpr int kWidePanelWidth = 560;
constexpr int kCurveGap = 24;
constexpr int kRowHeight = 40;

const CompressorSectionIds kCompIds = {
    IDC_COMP_SWITCH, {1014, 1015, 1016, 1017}, {1038, 1039, 1040, 1041}, {1005, 1006, 1007, 1008}};
} // namespace

CCompDlg::CCompDlg(QWidget* parent, fx::ParamStore& store, CPageNavigator navigator)
    : CHalvoxPage(kResource, parent, store) {
    m_nav = new CPageNavRow(this, std::move(navigator));
    m_nav->SetCurrent(IDC_NAV_COMP);

    m_channelCaption = new QLabel(QString::fromUtf8("选择通道"), this);
    SetCtrlId(m_channelCaption, IDC_COMP_CHANNEL_CAPTION);
    m_channelCombo = new QComboBox(this);
    SetCtrlId(m_channelCombo, IDC_COMP_CHANNEL);
    connect(m_channelCombo, &QComboBox::activated, this, &CCompDlg::SelectChannel);

    m_section = new CCompressorSection(this, kCompIds);
    m_curve = new CCompressPanelPlus(this);
    SetCtrlId(m_curve, IDC_COMP_CURVE);
    m_curve->SetLowerKnee(kLowerKneeDb);
    m_curve->SetLowerSlope(1.0);
    m_section->SetCurve(m_curve);

    m_wheel = new CWheelRouter(
        this, [this](const QWidget* focus) { return m_section->IsWheelTarget(focus); });

    resize(parent ? parent->size() : QSize(1040, 560));
    Layout();
    Relabel();
    Reload();
}

void CCompDlg::Reload() {
    m_channelCombo->setCurrentIndex(m_channel);
    m_nav->SetCurrent(IDC_NAV_COMP);
    m_section->SetIndex(m_channel);
    m_section->Load();
}

void CCompDlg::Relabel() {
    LoadDialogTexts(this, kResource);
    m_nav->Relabel();
    FillChannelCombo();
    m_curve->SetLanguage(g_Language);
}

void CCompDlg::FillChannelCombo() {
    const int selected = std::max(0, m_channelCombo->currentIndex());
    m_channelCombo->clear();
    for (int ch = 0; ch < kOutputChannelCount; ++ch)
        m_channelCombo->addItem(Tr("通道%1", "CH %1").arg(ch + 1));
    m_channelCombo->setCurrentIndex(selected);
}

void CCompDlg::SelectChannel(int channel) {
    m_channel = std::clamp(channel, 0, kOutputChannelCount - 1);
    Reload();
}

void CCompDlg::resizeEvent(QResizeEvent* event) {
    CHalvoxPage::resizeEvent(event);
    Layout();
}

void CCompDlg::Layout() {
    const int w = width();
    const int h = height();
    m_nav->Place(QRect(kMargin, kMargin, w - 2 * kMargin, kNavHeight));
    const int top = kMargin + kNavHeight + 16;
    // The curve keeps its axes square (both span 96 dB) and as tall as the
    // page allows; the settings take the width beside it, up to a point,
    // and what is left over goes either side of the curve.
    const int side =
        std::max(120, std::min(h - top - kMargin, w - 2 * kMargin - kCurveGap - kPanelWidth));
    const int panelWidth =
        std::clamp(w - 2 * kMargin - kCurveGap - side, kPanelWidth, kWidePanelWidth);
    const int slack = std::max(0, w - 2 * kMargin - kCurveGap - side - panelWidth);
    m_channelCaption->setGeometry(kMargin, top, 110, 28);
    m_channelCombo->setGeometry(kMargin + 116, top, std::min(panelWidth, kPanelWidth) - 116, 28);
    m_section->Place(QRect(kMargin, top + 44, panelWidth, 5 * kRowHeight), kRowHeight);
    m_curve->setGeometry(kMargin + panelWidth + kCurveGap + slack / 2, top, side, side);
}

FX_REGISTER_PAGE(PAGE_COMPRESSOR,
                 [](int, QWidget* parent, const CPageNavigator& navigator, fx::ParamStore& store)
                     -> CHalvoxPage* { return new CCompDlg(parent, store, navigator); });
