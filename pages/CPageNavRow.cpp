#include "pages/CPageNavRow.h"

#include "controls/CGdipButton.h"
#include "controls/Localisation.h"
#include "pages/CHalvoxPage.h"
#include "state/OutputChannels.h"

#include <QWidget>

#include <algorithm>

namespace {
struct PageButton {
    int id;
    int page;
    const char* chinese;
    const char* english;
};

constexpr int kChannelButtons[kOutputChannelCount] = {1069, 1072, 1070, 1071,
                                                      1076, 1077, 1078, 1079};
constexpr PageButton kPageButtons[CPageNavRow::kPageButtonCount] = {
    {IDC_NAV_LOCATION, PAGE_SURROUND, "声场定位", "Location"},
    {IDC_NAV_DELAY, PAGE_DELAY, "喇叭延时", "Delay"},
    {IDC_NAV_COMP, PAGE_COMPRESSOR, "输出压限", "Comp"},
    {IDC_NAV_RECORD, PAGE_RECORDING, "录音输出", "Record"},
};
const QColor kChannelFace(40, 100, 160);
const QColor kPageFace(0, 130, 120);
constexpr int kGap = 4;
constexpr int kMaxButtonWidth = 92;

const PageButton* FindPageButton(int id) {
    for (const PageButton& button : kPageButtons)
        if (button.id == id) return &button;
    return nullptr;
}
} // namespace

CPageNavRow::CPageNavRow(QWidget* page, CPageNavigator navigator)
    : QObject(page), m_navigator(std::move(navigator)) {
    for (int i = 0; i < kButtonCount; ++i) {
        const int id = ButtonIds()[size_t(i)];
        auto* button = new CGdipButton(page);
        SetCtrlId(button, id);
        button->SetToggle(true);
        button->SetFaceColor(ChannelOfButton(id) >= 0 ? kChannelFace : kPageFace);
        connect(button, &QAbstractButton::clicked, this, [this, id] { OnClicked(id); });
        m_buttons[size_t(i)] = button;
    }
    Relabel();
}

const std::array<int, CPageNavRow::kButtonCount>& CPageNavRow::ButtonIds() {
    static const std::array<int, kButtonCount> ids = [] {
        std::array<int, kButtonCount> all{};
        std::copy(std::begin(kChannelButtons), std::end(kChannelButtons), all.begin());
        for (int i = 0; i < kPageButtonCount; ++i)
            all[size_t(kChannelButtonCount + i)] = kPageButtons[i].id;
        return all;
    }();
    return ids;
}

int CPageNavRow::ChannelButtonId(int channel) {
    return channel >= 0 && channel < kOutputChannelCount ? kChannelButtons[channel] : -1;
}

int CPageNavRow::ChannelOfButton(int id) {
    const auto* found = std::find(std::begin(kChannelButtons), std::end(kChannelButtons), id);
    return found == std::end(kChannelButtons) ? -1 : int(found - std::begin(kChannelButtons));
}

int CPageNavRow::TargetOf(int id) {
    const PageButton* button = FindPageButton(id);
    return button ? button->page : -1;
}

CGdipButton* CPageNavRow::Button(int id) const {
    const auto& ids = ButtonIds();
    const auto* found = std::find(ids.begin(), ids.end(), id);
    return found == ids.end() ? nullptr : m_buttons[size_t(found - ids.begin())];
}

void CPageNavRow::SetCurrent(int id) {
    m_current = id;
    for (int i = 0; i < kButtonCount; ++i)
        m_buttons[size_t(i)]->setChecked(ButtonIds()[size_t(i)] == id);
}

void CPageNavRow::SetChannelHandler(std::function<void(int)> handler) {
    m_channelHandler = std::move(handler);
}

void CPageNavRow::Relabel() {
    for (int channel = 0; channel < kOutputChannelCount; ++channel)
        Button(kChannelButtons[channel])->setText(Tr("通道%1", "CH %1").arg(channel + 1));
    for (const PageButton& page : kPageButtons)
        Button(page.id)->setText(Tr(page.chinese, page.english));
}

void CPageNavRow::Place(const QRect& area) {
    const int width =
        std::min(kMaxButtonWidth, (area.width() - kGap * (kButtonCount - 1)) / kButtonCount);
    int x = area.left();
    for (CGdipButton* button : m_buttons) {
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
    m_navigator.ShowPage(TargetOf(id), 0);
}
