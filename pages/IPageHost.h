#pragma once

namespace fx {

// The window that hosts the pages, as the pages see it: a page asks it for
// another page (through its CPageNavigator) and for the music sub-page it
// showed last.
class IPageHost {
public:
    virtual ~IPageHost() = default;
    virtual void ShowPage(int pageId, int subPage) = 0;
    virtual int LastMusicSubPage() const = 0;
};

} // namespace fx
