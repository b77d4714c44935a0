#include "pages/CPageNavRow.h"

#include "controls/CGdipButton.h"
#include "shell/CHalvoxPage.h"
#include "shell/Localisation.h"
#include "state/OutputChannels.h"

#include <QWidget>

#include <algorithm>

namespace {
constexpr int kChannelButtons[kOutputChannelCount] = {1069, 1072, 1070, 1071,
                                                      1076, 1077, 1078, 1079};
constexpr int kPageButtons[3] = {IDC_NAV_LOCATION, IDC_NAV_RECORD, IDC_NAV_COMP};
const char* const kPageButtonTexts[3] = {"声场定位", "录音输出", "输出压限"};
const QColor kChannelFace(40, 100, 160);
const QColor kPageFace(0, 130, 120);
constexpr int kGap = 4;
constexpr int kMaxButtonWidth = 92;
} // namespace

CPageNavRow::CPageNavRow(QWidget* page, CPageNavigator navigator)
    : QObject(page), m_navigator(std::move(navigator)) {
    for (int id = IDC_NAV_FIRST; id <= IDC_NAV_LAST; ++id) {
        auto* button = new CGdipButton(page);
        SetCtrlId(button, id);
        button->SetToggle(true);
        const int channel = ChannelOfButton(id);
        button->SetFaceColor(channel >= 0 ? kChannelFace : kPageFace);
        if (channel >= 0)
            button->setText(QStringLiteral("通道%1").arg(channel + 1));
        else
            button->setText(QString::fromUtf8(kPageButtonTexts[id - IDC_NAV_LOCATION]));
        connect(button, &QAbstractButton::clicked, this, [this, id] { OnClicked(id); });
        m_buttons[id - IDC_NAV_FIRST] = button;
    }
    SetTarget(IDC_NAV_LOCATION, PAGE_SURROUND);
    SetTarget(IDC_NAV_RECORD, PAGE_RECORDING);
    SetTarget(IDC_NAV_COMP, PAGE_COMPRESSOR);
}

int CPageNavRow::ChannelButtonId(int channel) {
    return channel >= 0 && channel < kOutputChannelCount ? kChannelButtons[channel] : -1;
}

int CPageNavRow::ChannelOfButton(int id) {
    const auto* found = std::find(std::begin(kChannelButtons), std::end(kChannelButtons), id);
    return found == std::end(kChannelButtons) ? -1 : int(found - std::begin(kChannelButtons));
}

CGdipButton* CPageNavRow::Button(int id) const {
    if (id < IDC_NAV_FIRST || id > IDC_NAV_LAST) return nullptr;
    return m_buttons[id - IDC_NAV_FIRST];
}

void CPageNavRow::SetTarget(int id, int pageId) {
    if (Button(id)) m_targets[id - IDC_NAV_FIRST] = pageId;
}

void CPageNavRow::SetShown(int id, bool shown) {
    if (CGdipButton* button = Button(id)) button->setVisible(shown);
}

void CPageNavRow::SetCurrent(int id) {
    m_current = id;
    for (int i = 0; i < kButtonCount; ++i) m_buttons[i]->setChecked(IDC_NAV_FIRST + i == id);
}

void CPageNavRow::SetChannelHandler(std::function<void(int)> handler) {
    m_channelHandler = std::move(handler);
}

void CPageNavRow::Place(const QRect& area) {
    std::vector<CGdipButton*> shown;
    for (int channel = 0; channel < kOutputChannelCount; ++channel)
        shown.push_back(Button(kChannelButtons[channel]));
    for (int id : kPageButtons) shown.push_back(Button(id));
    std::erase_if(shown, [](CGdipButton* b) { return b->isHidden(); });
    if (shown.empty()) return;
    const int count = int(shown.size());
    const int width =
        std::min(kMaxButtonWidth, (area.width() - kGap * (count - 1)) / std::max(1, count));
    int x = area.left();
    for (CGdipButton* button : shown) {
        button->setGeometry(x, area.top(), width, area.height());
        x += width + kGap;
    }
}

void CPageNavRow::OnClicked(int id) {
    // A toggle button unchecks itself when clicked again; the page decides.
    SetCurrent(m_current);
    const int channel = ChannelOfButton(id);
    if (channel >= 0) {
        if (m_navigator.IsSet())
            m_navigator.ShowPage(PAGE_OUTPUT, channel);
        else if (m_channelHandler)
            m_channelHandler(channel);
        return;
    }
    m_navigator.ShowPage(m_targets[id - IDC_NAV_FIRST], 0);
}
