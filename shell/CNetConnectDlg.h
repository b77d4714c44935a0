#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// The network connect dialog (resource 521), modeless, one at a time: the
// address control (the stored "IPAddr" or the default address), the port
// field, a red message line that says in words why a connect failed, connect
// and cancel.
class CNetConnectDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kResource = 521;
    static constexpr int kConnectId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kAddressId = 1004;
    static constexpr int kAddressLabelId = 1005;
    static constexpr int kMessageId = 1006;
    static constexpr int kPortId = 1007;
    static constexpr int kPortLabelId = 1008;

    // onConnected runs after a successful connect (the view's OnLinkOpened).
    CNetConnectDlg(std::function<void()> onConnected, QWidget* parent);

    // The connect sequence shared by the dialog, the command line and the
    // demo: closes an open USB link without the let-go command, selects the
    // network and connects. Returns NetConnect's result (1 on success); on
    // success the address and port are stored and become the link's target.
    static int ConnectTo(const QString& address, int port);
    // Why a connect failed, in words of the current language (result: what
    // ConnectTo returned), and the whole message line.
    static QString FailureReason(int result);
    static QString FailureText(int result);
    // Four numbers joined by "."; empty when the text is no dotted address.
    static QString NormaliseAddress(const QString& text);

    QLineEdit* AddressEdit() const { return m_address; }
    QLineEdit* PortEdit() const { return m_port; }
    QString MessageText() const;
    void Relabel();

public slots:
    void OnConnect();

private:
    std::function<void()> m_onConnected;
    QLineEdit* m_address = nullptr;
    QLineEdit* m_port = nullptr;
    QLabel* m_message = nullptr;
};
