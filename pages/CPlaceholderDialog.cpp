#include "pages/CPlaceholderDialog.h"

#include "shell/DialogStyle.h"
#include "shell/Localisation.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CPlaceholderDialog::CPlaceholderDialog(int resource, const char* chineseName,
                                       const char* englishName, QWidget* parent)
    : QDialog(parent), m_resource(resource), m_chineseName(chineseName),
      m_englishName(englishName) {
    setAttribute(Qt::WA_DeleteOnClose);
    ApplyPaleBackground(this);
    m_text = new QLabel(this);
    m_text->setAlignment(Qt::AlignCenter);
    auto* close = new QPushButton(QStringLiteral("OK"), this);
    SetCtrlId(close, 1);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(close, 0, Qt::AlignCenter);
    resize(360, 160);
    Relabel();
}

void CPlaceholderDialog::Relabel() {
    setWindowTitle(Tr(m_chineseName, m_englishName));
    m_text->setText(Tr(m_chineseName, m_englishName) + QStringLiteral("\n") +
                    Tr("此对话框尚未完成", "This dialog is not built yet"));
    LoadDialogTexts(this, m_resource);
}
