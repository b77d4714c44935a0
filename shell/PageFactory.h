#pragma once

#include <QString>

class CHalvoxPage;
class QWidget;

// True for the page identifiers the view can show.
bool IsPageId(int pageId);
// The page's name in the current language.
QString PageName(int pageId);
// Creates the page for an identifier as a child of parent, on its sub-page;
// nullptr for an unknown identifier. Pages not built yet are placeholders.
CHalvoxPage* CreatePage(int pageId, int subPage, QWidget* parent);
