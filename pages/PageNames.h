#pragma once

#include <QString>

#include <vector>

namespace fx {

// True for the page identifiers the view can show.
bool IsPageId(int pageId);
// Every identifier the view can show, in the order of the page names.
std::vector<int> PageIds();
// The page's name in the current language; empty for no page.
QString PageName(int pageId);

} // namespace fx
