#include "pages/CHalvoxPage.h"

#include "controls/DialogStyle.h"

CHalvoxPage::CHalvoxPage(int pageId, QWidget* parent, fx::ParamStore& store)
    : QWidget(parent), m_pageId(pageId), m_store(store) {
    ApplyPaleBackground(this);
}

void CHalvoxPage::SelectSubPage(int subPage) {
    m_subPage = subPage;
}
