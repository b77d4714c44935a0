#pragma once

#include "pages/CHalvoxPage.h"

class QLabel;

// Stands in for a page that is not built yet: names the page and the
// sub-page it was asked for.
class CPlaceholderPage : public CHalvoxPage {
    Q_OBJECT
public:
    CPlaceholderPage(int pageId, QWidget* parent, fx::ParamStore& store);

    void SelectSubPage(int subPage) override;
    void Relabel() override;
    QString Text() const;

private:
    QLabel* m_title = nullptr;
    QLabel* m_detail = nullptr;
};
