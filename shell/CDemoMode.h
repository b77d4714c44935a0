#pragma once

#include <QObject>

#include <memory>

class CMainFrame;
class QMenu;
class SimProcessor;
class SimTcpServer;
class VirtualHidBackend;
class IHidBackend;

// Demo mode: the simulated processor, either plugged in as a virtual USB
// device (found by the normal start-up path) or served on a free loopback
// port and connected to as the connect dialog would.
class QAction;

class CDemoMode : public QObject {
    Q_OBJECT
public:
    enum class Transport { Usb, Network };

    explicit CDemoMode(Transport transport);
    ~CDemoMode() override;

    // Before the frame exists: installs the HID backend the link will use.
    bool Prepare();
    // After the frame exists: the Demo menu, and the network connect.
    void Attach(CMainFrame* frame);
    // Restores the real HID backend (after the link has closed).
    void Detach();

    SimProcessor& Processor() const { return *m_processor; }
    int Port() const;
    void Unplug();
    void Plug();
    QMenu* Menu() const { return m_menu; }

private:
    void ConnectOverNetwork(CMainFrame* frame);
    // The Demo menu in the current language.
    void RelabelMenu();
    // Unplug is offered while plugged in, plug in while unplugged.
    void UpdateMenuState();

    Transport m_transport;
    std::unique_ptr<SimProcessor> m_processor;
    std::unique_ptr<VirtualHidBackend> m_usb;
    std::unique_ptr<IHidBackend> m_noHid;
    std::unique_ptr<SimTcpServer> m_server;
    QMenu* m_menu = nullptr;
    QAction* m_unplugAction = nullptr;
    QAction* m_plugAction = nullptr;
};
