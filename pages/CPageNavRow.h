#pragma once

#include "pages/CPageNavigator.h"

#include <QObject>
#include <QRect>

#include <array>
#include <functional>

class CGdipButton;
class QWidget;

// Control identifiers of the page navigation row of the output-side pages.
enum PageNavCtrl : int {
    IDC_NAV_FIRST = 1069, // 1069..1079
    IDC_NAV_LOCATION = 1073,
    IDC_NAV_RECORD = 1074,
    IDC_NAV_COMP = 1075,
    IDC_NAV_LAST = 1079,
};

// The row of buttons at the top of the output-side pages: one per output
// channel (opening the output page on that channel), the room plan, the
// recording page and the compressor page. The buttons are direct children of
// the page, so the page's language file labels them; each page says which
// buttons it shows, which one is its own, and where 1074 leads.
class CPageNavRow : public QObject {
    Q_OBJECT
public:
    static constexpr int kButtonCount = IDC_NAV_LAST - IDC_NAV_FIRST + 1;

    CPageNavRow(QWidget* page, CPageNavigator navigator);

    // Button of an output channel 0..7, and back (-1 for the other buttons).
    static int ChannelButtonId(int channel);
    static int ChannelOfButton(int id);

    // The page a non-channel button opens.
    void SetTarget(int id, int pageId);
    void SetShown(int id, bool shown);
    // The button drawn pressed: the page's own (-1 for none).
    void SetCurrent(int id);
    int Current() const { return m_current; }
    // Without a view, a channel button asks the page itself.
    void SetChannelHandler(std::function<void(int channel)> handler);
    // Lays the shown buttons out left to right: channels first, then the pages.
    void Place(const QRect& area);

    CGdipButton* Button(int id) const;

private:
    void OnClicked(int id);

    CPageNavigator m_navigator;
    std::array<CGdipButton*, kButtonCount> m_buttons{};
    std::array<int, kButtonCount> m_targets{};
    std::function<void(int)> m_channelHandler;
    int m_current = -1;
};
