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
    IDC_NAV_FIRST = 1069, // 1069..1079: channels and pages
    IDC_NAV_LOCATION = 1073,
    IDC_NAV_RECORD = 1074,
    IDC_NAV_COMP = 1075,
    IDC_NAV_LAST = 1079,
    IDC_NAV_DELAY = 1082,
};

// The row of buttons at the top of the output-side pages: one per output
// channel (opening the output page on that channel), then the room plan, the
// speaker delay page, the compressor page and the recording page. Every page
// shows the whole row, so each destination is one click away from each other
// one; every button keeps one name and one destination. The page's own
// button is drawn pressed.
class CPageNavRow : public QObject {
    Q_OBJECT
public:
    static constexpr int kChannelButtonCount = 8;
    static constexpr int kPageButtonCount = 4;
    static constexpr int kButtonCount = kChannelButtonCount + kPageButtonCount;

    CPageNavRow(QWidget* page, CPageNavigator navigator);

    // Button of an output channel 0..7, and back (-1 for the other buttons).
    static int ChannelButtonId(int channel);
    static int ChannelOfButton(int id);
    // Every button id, channels first, in the order they are laid out.
    static const std::array<int, kButtonCount>& ButtonIds();
    // The page a page button opens (-1 for channel buttons).
    static int TargetOf(int id);

    // The button drawn pressed: the page's own (-1 for none).
    void SetCurrent(int id);
    int Current() const { return m_current; }
    // Without a view, a channel button asks the page itself.
    void SetChannelHandler(std::function<void(int channel)> handler);
    // Lays the buttons out left to right: channels first, then the pages.
    void Place(const QRect& area);
    // The buttons' texts in the current language.
    void Relabel();

    CGdipButton* Button(int id) const;

private:
    void OnClicked(int id);

    CPageNavigator m_navigator;
    std::array<CGdipButton*, kButtonCount> m_buttons{};
    std::function<void(int)> m_channelHandler;
    int m_current = -1;
};
