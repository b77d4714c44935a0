#pragma once

#include "pages/PageNames.h"

class CHalvoxPage;
class CPageNavigator;
class QWidget;

namespace fx {
class ParamStore;
}

namespace fx {

// Makes a page as a child of parent on its sub-page, showing and changing
// store; the navigator carries the page's requests for other pages to the view.
using PageMaker = CHalvoxPage* (*)(int subPage, QWidget* parent, const CPageNavigator& navigator,
                                   ParamStore& store);

// Each page's own source registers its maker, so the view names no page
// class. Returns true so it can initialise a static; false (and the first
// maker kept) for an identifier that is not a page or already has a maker.
// The identifiers and the pages' names are those of PageNames.h.
bool RegisterPage(int pageId, PageMaker maker);

// Creates the page for an identifier as a child of parent, on its sub-page;
// nullptr for an unknown identifier. A parent that is an IPageHost gets the
// page's navigation requests. A page without a maker is a placeholder.
CHalvoxPage* CreatePage(int pageId, int subPage, QWidget* parent, ParamStore& store);

} // namespace fx

#define FX_PAGE_CONCAT_INNER(a, b) a##b
#define FX_PAGE_CONCAT(a, b) FX_PAGE_CONCAT_INNER(a, b)
// Registers a page maker from the page's source file, before main runs:
//   FX_REGISTER_PAGE(PAGE_DELAY, [](int, QWidget* parent, const CPageNavigator& navigator)
//                                    -> CHalvoxPage* { return new CDelayDlg(parent, navigator); });
#define FX_REGISTER_PAGE(pageId, maker)                                                            \
    [[maybe_unused]] static const bool FX_PAGE_CONCAT(fxPageRegistered, __LINE__) =                \
        ::fx::RegisterPage(pageId, maker)
