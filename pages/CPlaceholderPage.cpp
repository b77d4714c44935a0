#include "pages/CPlaceholderPage.h"

#include "controls/Localisation.h"
#include "pages/PageNames.h"

#include <QLabel>
#include <QVBoxLayout>

CPlaceholderPage::CPlaceholderPage(int pageId, QWidget* parent, fx::ParamStore& store)
    : CHalvoxPage(pageId, parent, store) {
    m_title = new QLabel(this);
    QFont font = m_title->font();
    font.setPixelSize(26);
    font.setBold(true);
    m_title->setFont(font);
    m_title->setAlignment(Qt::AlignCenter);
    m_detail = new QLabel(this);
    m_detail->setAlignment(Qt::AlignCenter);
    m_detail->setStyleSheet(QStringLiteral("color: #607080;"));
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(m_title);
    layout->addWidget(m_detail);
    layout->addStretch();
    Relabel();
}

void CPlaceholderPage::SelectSubPage(int subPage) {
    CHalvoxPage::SelectSubPage(subPage);
    Relabel();
}

void CPlaceholderPage::Relabel() {
    m_title->setText(fx::PageName(PageId()));
    QString detail = Tr("此页面尚未完成", "This page is not built yet");
    if (PageId() == PAGE_MUSIC || PageId() == PAGE_EFFECTS)
        detail += Tr("  —  子页 %1", "  —  sub-page %1").arg(SubPage());
    m_detail->setText(detail);
}

QString CPlaceholderPage::Text() const {
    return m_title->text();
}
