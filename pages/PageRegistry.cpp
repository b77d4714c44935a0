#include "pages/PageRegistry.h"

#include "pages/CHalvoxPage.h"
#include "pages/CPageNavigator.h"
#include "pages/CPlaceholderPage.h"

#include <map>

namespace fx {
namespace {

// Filled by the pages' static registrations, before main; a function's
// static so it exists whichever source registers first.
std::map<int, PageMaker>& Makers() {
    static std::map<int, PageMaker> makers;
    return makers;
}

} // namespace

bool RegisterPage(int pageId, PageMaker maker) {
    if (!maker || !IsPageId(pageId)) return false;
    return Makers().emplace(pageId, maker).second;
}

CHalvoxPage* CreatePage(int pageId, int subPage, QWidget* parent, ParamStore& store) {
    if (!IsPageId(pageId)) return nullptr;
    const auto maker = Makers().find(pageId);
    if (maker != Makers().end())
        return maker->second(subPage, parent, CPageNavigator::ForHost(parent), store);
    CHalvoxPage* page = new CPlaceholderPage(pageId, parent, store);
    page->SelectSubPage(subPage);
    return page;
}

} // namespace fx
