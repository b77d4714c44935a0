#include "pages/CHalvoxPage.h"

#include "controls/DialogStyle.h"

CHalvoxPage::CHalvoxPage(int pageId, QWidget* parent) : QWidget(parent), m_pageId(pageId) {
    ApplyPaleBackground(this);
}

void CHalvoxPage::SelectSubPage(int subPage) {
    m_subPage = subPage;
}
