#pragma once

#include <functional>

class QWidget;

// How a page asks the view for another page. The view destroys the current
// page when it switches, so the view's navigator runs the request later,
// from the event loop, never inside the page's own handler.
class CPageNavigator {
public:
    using ShowFn = std::function<void(int pageId, int subPage)>;
    using LastMusicFn = std::function<int()>;

    CPageNavigator() = default;
    CPageNavigator(ShowFn show, LastMusicFn lastMusicSubPage);
    // Queued requests into the page's host (an fx::IPageHost); an empty
    // navigator when the widget is none.
    static CPageNavigator ForHost(QWidget* host);

    bool IsSet() const { return bool(m_show); }
    void ShowPage(int pageId, int subPage) const;
    // The music page on the music sub-page the view showed last.
    void BackToMusic() const;

private:
    ShowFn m_show;
    LastMusicFn m_lastMusicSubPage;
};
