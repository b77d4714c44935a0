#include "shell/CAboutDlg.h"

#include "controls/DialogStyle.h"
#include "controls/Localisation.h"
#include "link/LinkState.h"
#include "shell/CRibbonIcons.h"
#include "state/DeviceIdentity.h"
#include "state/StatusPoll.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About"));
    ApplyPaleBackground(this);

    auto* icon = new QLabel(this);
    icon->setPixmap(CRibbonIcons::Application().pixmap(48, 48));
    auto* title = new QLabel(QString::fromUtf8("效果器调音软件v1.2"), this);
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPixelSize(16);
    title->setFont(bold);
    auto* build = new QLabel(QStringLiteral("Build %1").arg(QStringLiteral(__DATE__)), this);

    // The processor's versions are known only while a link is open.
    const bool linked = g_bConnected();
    auto* mcu = new QLabel(linked ? QString::fromStdString(AboutMcuText()) : QString(), this);
    SetCtrlId(mcu, 1003);
    auto* dsp = new QLabel(linked ? QString::fromStdString(AboutDspText()) : QString(), this);
    SetCtrlId(dsp, 1004);
    m_module = new QLabel(QString::fromStdString(AboutModuleText()), this);
    SetCtrlId(m_module, kModuleLineId);
    m_module->hide();
    m_peak = new QCheckBox(QStringLiteral("Peak"), this);
    SetCtrlId(m_peak, kPeakBoxId);
    m_peak->setChecked(g_bStatusPoll);
    m_peak->hide();
    connect(m_peak, &QCheckBox::toggled, this, [](bool checked) { g_bStatusPoll = checked; });

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    SetCtrlId(ok, 1);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 4, 1, Qt::AlignTop);
    layout->addWidget(title, 0, 1);
    layout->addWidget(build, 1, 1);
    layout->addWidget(mcu, 2, 1);
    layout->addWidget(dsp, 3, 1);
    layout->addWidget(m_module, 4, 1);
    layout->addWidget(m_peak, 5, 1);
    layout->addWidget(ok, 0, 2);
    setMinimumWidth(380);
}

void CAboutDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F11) return;
    QDialog::keyPressEvent(event);
}

void CAboutDlg::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_F11) {
        QDialog::keyReleaseEvent(event);
        return;
    }
    const Qt::KeyboardModifiers held = event->modifiers();
    if ((held & Qt::ControlModifier) && (held & Qt::ShiftModifier)) {
        m_module->show();
        m_peak->show();
    }
    event->accept(); // every F11 release is consumed here
}
