#include "shell/CNetConnectDlg.h"

#include "controls/DialogStyle.h"
#include "controls/Localisation.h"
#include "link/LinkState.h"
#include "link/NetLink.h"
#include "link/UsbLink.h"
#include "shell/CAppSettings.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include <cerrno>
#include <cstring>

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

    // The port is shown and can be changed: processors are set up on other ports.
    auto* portLabel = new QLabel(QStringLiteral("Port:"), this);
    SetCtrlId(portLabel, kPortLabelId);
    m_port = new QLineEdit(QString::number(CAppSettings::IpPort()), this);
    SetCtrlId(m_port, kPortId);
    m_port->setValidator(new QIntValidator(1, 65535, m_port));

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
    layout->addWidget(portLabel, 1, 0);
    layout->addWidget(m_port, 1, 1);
    layout->addWidget(m_message, 2, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(connectButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons, 3, 0, 1, 2);
    setMinimumWidth(340);

    Relabel();
}

void CNetConnectDlg::Relabel() {
    LoadDialogTexts(this, kResource);
}

QString CNetConnectDlg::MessageText() const {
    return m_message->text();
}

QString CNetConnectDlg::FailureReason(int result) {
    switch (result) {
    case 0:
        return Tr("无法建立网络连接", "no network connection could be made");
    case ECONNREFUSED:
        return Tr("连接被拒绝，该地址的这个端口上没有设备应答",
                  "the connection was refused: nothing answers on that port");
    case ETIMEDOUT:
        return Tr("连接超时，设备没有应答", "the connection timed out: no answer");
    case EHOSTUNREACH:
    case ENETUNREACH:
        return Tr("找不到该地址的设备（网络不可达）", "that address cannot be reached");
    case EACCES:
        return Tr("不允许连接该地址", "connecting to that address is not allowed");
    case EINVAL:
        return Tr("IP地址或端口号无效", "the address or the port is not valid");
    default:
        return Tr("错误%1", "error %1 (%2)")
            .arg(result)
            .arg(QString::fromLocal8Bit(std::strerror(result)));
    }
}

QString CNetConnectDlg::FailureText(int result) {
    return Tr("连接失败：%1。请确认IP地址和端口号正确!",
              "Connect failed: %1. Check the address and the port.")
        .arg(FailureReason(result));
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
    // An open USB link is dropped, without the let-go command, only once the
    // network connection stands: a failed attempt leaves it working.
    const int result = NetConnect(address.toStdString(), port, [] {
        if (g_bConnected() && !g_bNetMode()) CloseUsbLink();
        g_bNetMode() = true;
    });
    if (result == 1) {
        CAppSettings::SetIpAddress(address, port);
        SetNetTarget(address.toStdString(), port);
    }
    return result;
}

void CNetConnectDlg::OnConnect() {
    const QString address = NormaliseAddress(m_address->text());
    const int port = m_port->text().toInt();
    // An address that is no dotted IPv4 address, or no port, is refused undialled.
    if (address.isEmpty() || port < 1 || port > 65535) {
        m_message->setText(FailureText(EINVAL));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int result = ConnectTo(address, port);
    QApplication::restoreOverrideCursor();
    if (result != 1) {
        m_message->setText(FailureText(result));
        return;
    }
    close();
    if (m_onConnected) m_onConnected();
}
