#include "SoakRig.h"

#include "link/CommandFrames.h"
#include "link/HidDevice.h"
#include "link/LinkState.h"
#include "link/NetLink.h"
#include "link/TextFormat.h"
#include "link/UsbLink.h"

#include <chrono>
#include <thread>

namespace fx {
namespace {

constexpr int kClientWaitMs = 5000;
constexpr int kDropNoticeMs = 5000;
// The watchdog gives up after its heartbeat misses (3 s each), with margin.
constexpr int kSilenceNoticeMs = (kMaxHeartbeatMisses + 3) * kHeartbeatGapMs;
constexpr uint8_t kResetConfirm = 0xAA;

} // namespace

SoakRig::SoakRig(Processor& editor, SimEventLoop& loop, SoakHidBackend& usb, int index)
    : m_editor(editor), m_usbBackend(usb), m_server(m_processor, loop),
      m_usb(m_processor, FormatText("/dev/hidraw-virtual%d", index)) {
    m_usbBackend.Attach(m_editor.Link(), &m_usb);
}

SoakRig::~SoakRig() {
    Close();
    m_server.Stop();
    m_usbBackend.Attach(m_editor.Link(), nullptr);
}

bool SoakRig::Start() {
    return m_server.Start(0);
}

bool SoakRig::Open(SoakTransport transport) {
    ProcessorScope scope(m_editor);
    Close();
    m_transport = transport;
    if (transport == SoakTransport::Network) {
        g_bNetMode() = true;
        return NetConnect("127.0.0.1", m_server.Port()) == 1 &&
               m_server.WaitForClient(true, kClientWaitMs);
    }
    g_bNetMode() = false;
    if (!m_usb.IsPlugged()) m_usb.Plug();
    return OpenDeviceLink() == 1;
}

void SoakRig::Close() {
    ProcessorScope scope(m_editor);
    if (m_transport == SoakTransport::Network) {
        NetDisconnect(LinkUsable());
    } else if (LinkUsable()) {
        DisconnectUsb();
    } else {
        CloseUsbLink();
    }
}

void SoakRig::DropConnection() {
    if (m_transport == SoakTransport::Network)
        m_server.DropClient();
    else
        m_usb.Unplug();
    WaitForLinkGone(kDropNoticeMs);
}

void SoakRig::PowerCycle() {
    DropConnection();
    const uint8_t reset[] = {CMD_RESET_PROCESSOR, kResetConfirm};
    m_processor.HandleCommand(reset, sizeof reset);
}

void SoakRig::SilenceUntilLinkGone() {
    if (m_transport != SoakTransport::Network) return;
    m_processor.SetSilent(true);
    WaitForLinkGone(kSilenceNoticeMs);
    m_processor.SetSilent(false);
}

void SoakRig::SetHeartbeats(bool on) {
    m_server.SetHeartbeatPeriod(on ? SimTcpServer::kDefaultHeartbeatMs : 0);
}

void SoakRig::WaitForLinkGone(int timeoutMs) {
    ProcessorScope scope(m_editor);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (LinkUsable() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace fx
