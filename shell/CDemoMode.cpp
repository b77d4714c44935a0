#include "shell/CDemoMode.h"

#include "controls/Localisation.h"
#include "link/HidDevice.h"
#include "link/LinkState.h"
#include "shell/CHalvoxView.h"
#include "shell/CMainFrame.h"
#include "shell/CNetConnectDlg.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"
#include "sim/VirtualHidBackend.h"

#include <QMenu>
#include <QMessageBox>
#include <QTimer>

namespace {
// The network demo hides every real HID device, so the start-up attempt on
// USB finds nothing and the network link is the only one.
class EmptyHidBackend : public IHidBackend {
public:
    std::vector<HidInterfaceInfo> Enumerate() override { return {}; }
    std::unique_ptr<IHidDevice> Open(const std::string&) override { return nullptr; }
};

constexpr const char* kLoopback = "127.0.0.1";
// After the start-up timer (250 ms) has tried USB.
constexpr int kNetworkConnectDelayMs = 400;
constexpr int kDemoKeyPressDelayMs = 1000;
} // namespace

CDemoMode::CDemoMode(Transport transport)
    : m_transport(transport), m_processor(std::make_unique<SimProcessor>()) {
    // A learn command is answered a second later, as if the key had been pressed.
    m_processor->SetAutoKeyPress(kDemoKeyPressDelayMs);
}

CDemoMode::~CDemoMode() {
    Detach();
}

bool CDemoMode::Prepare() {
    if (m_transport == Transport::Usb) {
        m_usb = std::make_unique<VirtualHidBackend>(*m_processor);
        SetHidBackend(m_usb.get());
        return true;
    }
    m_noHid = std::make_unique<EmptyHidBackend>();
    SetHidBackend(m_noHid.get());
    m_server = std::make_unique<SimTcpServer>(*m_processor);
    return m_server->Start(0);
}

void CDemoMode::Attach(CMainFrame* frame) {
    if (m_transport == Transport::Network) {
        QTimer::singleShot(kNetworkConnectDelayMs, frame,
                           [this, frame] { ConnectOverNetwork(frame); });
        return;
    }
    m_menu = new QMenu(frame);
    m_unplugAction = m_menu->addAction(QString(), this, &CDemoMode::Unplug);
    m_plugAction = m_menu->addAction(QString(), this, &CDemoMode::Plug);
    RelabelMenu();
    // Only the move that changes something is offered.
    connect(m_menu, &QMenu::aboutToShow, this, &CDemoMode::UpdateMenuState);
    UpdateMenuState();
    frame->AddDemoMenu(m_menu);
    connect(frame->View(), &CHalvoxView::languageApplied, this, &CDemoMode::RelabelMenu);
}

void CDemoMode::RelabelMenu() {
    m_menu->setTitle(Tr("演示", "Demo"));
    m_menu->menuAction()->setToolTip(
        Tr("演示：插入或拔出虚拟设备", "Demo: plug the virtual device in or out"));
    m_unplugAction->setText(Tr("拔出虚拟设备", "Unplug the virtual device"));
    m_plugAction->setText(Tr("插入虚拟设备", "Plug in the virtual device"));
}

void CDemoMode::ConnectOverNetwork(CMainFrame* frame) {
    const int result = CNetConnectDlg::ConnectTo(QString::fromLatin1(kLoopback), Port());
    if (result == 1) {
        frame->View()->OnLinkOpened();
        return;
    }
    QMessageBox::warning(frame, QStringLiteral("Demo"), CNetConnectDlg::FailureText(result));
}

void CDemoMode::Detach() {
    if (m_server) m_server->Stop();
    if (m_usb || m_noHid) SetHidBackend(nullptr);
}

int CDemoMode::Port() const {
    return m_server ? m_server->Port() : 0;
}

void CDemoMode::Unplug() {
    if (m_usb) m_usb->Unplug();
    UpdateMenuState();
}

void CDemoMode::Plug() {
    if (m_usb) m_usb->Plug();
    UpdateMenuState();
}

void CDemoMode::UpdateMenuState() {
    if (!m_menu || !m_usb) return;
    const bool plugged = m_usb->IsPlugged();
    m_unplugAction->setEnabled(plugged);
    m_plugAction->setEnabled(!plugged);
}
