#pragma once

#include "SoakHidBackend.h"
#include "sim/SimEventLoop.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"
#include "sim/VirtualHidBackend.h"
#include "state/Processor.h"

namespace fx {

enum class SoakTransport { Network, Usb };

// One simulated processor in this process, reachable both ways: its TCP
// server on 127.0.0.1 (a free port, served by the shared loop) and its
// virtual HID device. Opens and closes the editor's link to it (the link of
// the editor's processor object) over either, and breaks it as the world
// would.
class SoakRig {
public:
    // The index names the virtual device.
    SoakRig(Processor& editor, SimEventLoop& loop, SoakHidBackend& usb, int index);
    ~SoakRig();
    SoakRig(const SoakRig&) = delete;
    SoakRig& operator=(const SoakRig&) = delete;

    // False when the server could not start.
    bool Start();
    // Closes any link, then opens one over the transport; false when it did not open.
    bool Open(SoakTransport transport);
    // Closes the editor's link the way the editor does (let-go first when it still stands).
    void Close();
    SoakTransport Transport() const { return m_transport; }

    // The processor's side of a dropped connection: the TCP session is
    // closed, or the USB device unplugged. Waits (bounded) until the editor
    // sees its link gone.
    void DropConnection();
    // Switched off and on: the connection drops, then memory and modes
    // return to the factory image.
    void PowerCycle();
    // The processor falls silent (no replies, no heartbeat) until the editor
    // gives up on the link, which it does on the network only.
    void SilenceUntilLinkGone();

    // The processor's heartbeat on the network stops (replies still come) or resumes.
    void SetHeartbeats(bool on);

    SimProcessor& Simulated() { return m_processor; }

private:
    void WaitForLinkGone(int timeoutMs);

    Processor& m_editor;
    SoakHidBackend& m_usbBackend;
    SimProcessor m_processor;
    SimTcpServer m_server;
    VirtualHidBackend m_usb;
    SoakTransport m_transport = SoakTransport::Network;
};

} // namespace fx
