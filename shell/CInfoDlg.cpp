#include "shell/CInfoDlg.h"

#include "controls/DialogStyle.h"
#include "controls/Localisation.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QPointer<CInfoDlg>& Instance() {
    static QPointer<CInfoDlg> instance;
    return instance;
}

QWidget* MainWindowOrNull() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->inherits("CMainFrame")) return widget;
    return nullptr;
}
} // namespace

CInfoDlg::CInfoDlg(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Tr("信息", "Information"));
    ApplyPaleBackground(this);
    setMinimumWidth(320);

    m_text = new QLabel(this);
    SetCtrlId(m_text, kTextId);
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(18);
    font.setWeight(QFont::Medium);
    m_text->setFont(font);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignCenter);

    m_close = new QPushButton(Tr("关闭", "Close"), this);
    SetCtrlId(m_close, kCloseId);
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_close, 0, Qt::AlignCenter);

    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &QDialog::close);
}

void CInfoDlg::ShowInfo(const QString& text, int milliseconds) {
    QPointer<CInfoDlg>& instance = Instance();
    if (!Current()) instance = new CInfoDlg(MainWindowOrNull());
    instance->SetText(text, milliseconds);
    instance->show();
    instance->raise();
}

// A closed window waits for its deletion; it no longer counts as shown.
CInfoDlg* CInfoDlg::Current() {
    CInfoDlg* dialog = Instance().data();
    return dialog && dialog->isVisible() ? dialog : nullptr;
}

QString CInfoDlg::Text() const {
    return m_text->text();
}

void CInfoDlg::SetText(const QString& text, int milliseconds) {
    m_text->setText(text);
    m_timer.start(qMax(0, milliseconds));
}
