#include "shell/CNetConnectDlg.h"

#include "link/LinkState.h"
#include "link/NetLink.h"
#include "link/UsbLink.h"
#include "shell/CAppSettings.h"
#include "shell/DialogStyle.h"
#include "shell/Localisation.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

CNetConnectDlg::CNetConnectDlg(std::function<void()> onConnected, QWidget* parent)
    : QDialog(parent), m_onConnected(std::move(onConnected)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Connect IP"));
    ApplyPaleBackground(this);

    auto* label = new QLabel(QStringLiteral("Host IP:"), this);
    SetCtrlId(label, kAddressLabelId);
    m_address = new QLineEdit(this);
    SetCtrlId(m_address, kAddressId);
    m_address->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral(R"(^\d{0,3}(\.\d{0,3}){0,3}$)")), m_address));
    const QString stored = CAppSettings::IpAddress();
    m_address->setText(stored.isEmpty() ? QString::fromLatin1(CAppSettings::kDefaultAddress)
                                        : stored);

    m_port = new QLineEdit(QString::number(CAppSettings::IpPort()), this);
    SetCtrlId(m_port, kPortId);
    m_port->setValidator(new QIntValidator(1, 65535, m_port));
    m_port->hide();

    m_message = new QLabel(this);
    SetCtrlId(m_message, kMessageId);
    QPalette red = m_message->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    m_message->setPalette(red);
    m_message->setWordWrap(true);

    auto* connectButton = new QPushButton(QStringLiteral("Connect"), this);
    SetCtrlId(connectButton, kConnectId);
    connectButton->setDefault(true);
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    SetCtrlId(cancelButton, kCancelId);
    connect(connectButton, &QPushButton::clicked, this, &CNetConnectDlg::OnConnect);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::close);

    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(m_address, 0, 1);
    layout->addWidget(m_message, 1, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(connectButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons, 2, 0, 1, 2);
    setMinimumWidth(340);

    Relabel();
}

void CNetConnectDlg::Relabel() {
    LoadDialogTexts(this, kResource);
}

QString CNetConnectDlg::MessageText() const {
    return m_message->text();
}

QString CNetConnectDlg::NormaliseAddress(const QString& text) {
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() != 4) return QString();
    QStringList numbers;
    for (const QString& part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok);
        if (!ok || value < 0 || value > 255) return QString();
        numbers << QString::number(value);
    }
    return numbers.join(QLatin1Char('.'));
}

int CNetConnectDlg::ConnectTo(const QString& address, int port) {
    // An open USB link is dropped without the let-go command.
    if (g_bConnected && !g_bNetMode) CloseUsbLink();
    g_bNetMode = true;
    const int result = NetConnect(address.toStdString(), port);
    if (result == 1) {
        CAppSettings::SetIpAddress(address, port);
        SetNetTarget(address.toStdString(), port);
    }
    return result;
}

void CNetConnectDlg::OnConnect() {
    const QString address = NormaliseAddress(m_address->text());
    const int port = m_port->text().toInt();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // An address that is no dotted IPv4 address fails like a refused connect.
    const int result = address.isEmpty() ? 0 : ConnectTo(address, port);
    QApplication::restoreOverrideCursor();
    if (result != 1) {
        m_message->setText(
            g_Language == 1 ? QStringLiteral("Connect failed. Error %1").arg(result)
                            : QString::fromUtf8("错误%1，请确认IP地址和端口号正确!").arg(result));
        return;
    }
    close();
    if (m_onConnected) m_onConnected();
}
