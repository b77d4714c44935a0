#include "shell/CRibbonPanel.h"

#include <QLabel>
#include <QVBoxLayout>

CRibbonPanel::CRibbonPanel(const QString& caption, bool stacked, QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("ribbonPanel"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 3, 4, 1);
    outer->setSpacing(1);
    if (stacked)
        m_content = new QVBoxLayout;
    else
        m_content = new QHBoxLayout;
    m_content->setSpacing(stacked ? 0 : 4);
    outer->addLayout(m_content, 1);
    m_caption = new QLabel(caption, this);
    m_caption->setObjectName(QStringLiteral("ribbonPanelCaption"));
    m_caption->setAlignment(Qt::AlignCenter);
    outer->addWidget(m_caption);
}

QString CRibbonPanel::Caption() const {
    return m_caption->text();
}

void CRibbonPanel::SetCaption(const QString& caption) {
    m_caption->setText(caption);
}
