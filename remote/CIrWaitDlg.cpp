#include "remote/CIrWaitDlg.h"

#include "controls/DialogStyle.h"
#include "controls/Localisation.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CIrWaitDlg::CIrWaitDlg(const QString& learningText, std::function<void()> abandon, QWidget* parent)
    : QDialog(parent), m_onAbandon(std::move(abandon)) {
    ApplyPaleBackground(this);
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(400, 210);

    m_text = new QLabel(learningText, this);
    QFont bold = m_text->font();
    bold.setBold(true);
    bold.setPixelSize(15);
    m_text->setFont(bold);
    SetCtrlId(m_text, kTextId);
    m_prompt = new QLabel(QString::fromUtf8("请您按下遥控器上的对应的按键"), this);
    SetCtrlId(m_prompt, kPromptId);
    m_code = new QLineEdit(this);
    m_code->setReadOnly(true);
    m_code->setAlignment(Qt::AlignCenter);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setPixelSize(24);
    mono.setBold(true);
    m_code->setFont(mono);
    SetCtrlId(m_code, kCodeId);
    m_status = new QLabel(this);
    SetCtrlId(m_status, kStatusId);
    m_abandon = new QPushButton(QString::fromUtf8("放弃学习"), this);
    SetCtrlId(m_abandon, kAbandonId);
    m_close = new QPushButton(QString::fromUtf8("关闭"), this);
    SetCtrlId(m_close, kCloseId);
    m_close->hide();

    m_text->setGeometry(20, 14, 360, 26);
    m_prompt->setGeometry(20, 46, 360, 22);
    m_code->setGeometry(130, 78, 140, 44);
    m_status->setGeometry(20, 132, 360, 22);
    m_abandon->setGeometry(280, 166, 100, 30);
    m_close->setGeometry(280, 166, 100, 30);

    connect(m_abandon, &QPushButton::clicked, this, &CIrWaitDlg::reject);
    connect(m_close, &QPushButton::clicked, this, &CIrWaitDlg::accept);
    m_closeTimer.setSingleShot(true);
    connect(&m_closeTimer, &QTimer::timeout, this, &CIrWaitDlg::accept);

    setWindowTitle(Tr("学习遥控按键", "Learning key"));
    LoadDialogTexts(this, kResource);
    m_text->setText(learningText);
}

void CIrWaitDlg::OnKeyLearned(int code) {
    m_learned = true;
    m_code->setText(QString::asprintf("%02X", code & 0xFF));
    m_abandon->hide();
    m_close->show();
    m_close->setFocus();
    m_status->setText(Tr("窗口将自动关闭", "Window will be closed!"));
    m_closeTimer.start(kAutoCloseMs);
}

QString CIrWaitDlg::CodeText() const {
    return m_code->text();
}

QString CIrWaitDlg::StatusText() const {
    return m_status->text();
}

void CIrWaitDlg::reject() {
    // Closing after the key was caught is the same as OK.
    if (m_learned) {
        accept();
        return;
    }
    if (m_onAbandon) m_onAbandon();
    QDialog::reject();
}
