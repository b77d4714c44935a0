#include "link/UsbLink.h"

#include "link/CommandFrames.h"
#include "link/DebugLog.h"
#include "link/HidDevice.h"
#include "link/HidapiBackend.h"
#include "link/Link.h"
#include "link/LinkClock.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "link/LinkThreads.h"
#include "link/NetLink.h"
#include "link/NetLinkPart.h"
#include "link/ReplyDispatcher.h"
#include "link/ReplySink.h"
#include "link/UdevMonitor.h"
#include "link/UsbLinkPart.h"
#include "link/ViewNotifier.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {
// How long one read waits before the reader looks at g_bConnected again.
constexpr int kReadSliceMs = 100;

fx::UsbLinkPart& Usb() {
    return fx::CurrentLink().Usb();
}

// The udev monitor serves every link: notices are the machine's.
std::mutex g_monitorMutex;
UdevMonitor g_udevMonitor;

std::shared_ptr<IHidDevice> CurrentDevice() {
    std::lock_guard lock(g_SendLock());
    return Usb().device;
}

// "Read:" / "Write:" followed by the report's bytes first..last as "%02X ".
void DumpReport(const char* title, const uint8_t* report, int first, int last) {
    std::string line = title;
    char hex[4];
    for (int i = first; i <= last; ++i) {
        std::snprintf(hex, sizeof hex, "%02X ", report[i]);
        line += hex;
    }
    line += "\n";
    DebugLogText(line);
}

// Opens one interface and keeps it when it is the processor.
std::unique_ptr<IHidDevice> TryOpenInterface(const std::string& path) {
    if (path.empty()) {
        DebugLog("查找设备路径时出错!");
        return nullptr;
    }
    DebugLog("设备路径:\r\n%s", path.c_str());
    DebugLog("尝试打开通信端口....");
    std::unique_ptr<IHidDevice> device = HidBackend().Open(path);
    if (!device) {
        DebugLog("无法打开通信端口。不能读取设备信息!(设备连接可能不正确?)\n");
        return nullptr;
    }
    DebugLog("打开通信端口成功!\n");
    DebugLog("正在读取设备的标识...\n");
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    if (!device->GetAttributes(vendorId, productId)) {
        DebugLog("查询设备信息出错!\n");
        return nullptr;
    }
    if (vendorId != kProcessorVendorId || productId != kProcessorProductId) return nullptr;
    return device;
}

// Waits for the reader to leave after g_bConnected was cleared, then releases
// the device. A reader still busy in a reply handler keeps its own reference
// to the device and is joined once it has ended.
void EndReaderAndCloseDevice() {
    if (std::shared_ptr<IHidDevice> device = CurrentDevice()) device->Cancel();
    if (!g_hReaderEndedEvent().Wait(kReaderEndWaitMs))
        DebugLog("wait read thread exited time out !\n");
    fx::UsbLinkPart& usb = Usb();
    usb.readers.WaitAllEnded(kReaderEndWaitMs / 10);
    usb.readers.JoinEnded();
    std::lock_guard lock(g_SendLock());
    usb.device.reset();
    usb.devicePath.clear();
}

// Whether the link the reader was started for is still the open one.
bool ReaderServesOpenLink(unsigned linkNumber) {
    return g_bConnected() && Usb().linkNumber == linkNumber;
}

void RunReader(const std::shared_ptr<IHidDevice>& device, unsigned linkNumber) {
    g_bReadThreadEnd() = false;
    DebugLog("start thread: ReadUsbThreadProc \n");
    g_hReaderEndedEvent().Reset();
    while (ReaderServesOpenLink(linkNumber)) {
        uint8_t report[kUsbReportSize] = {};
        const int read = device ? device->Read(report, kUsbReportSize, kReadSliceMs) : -1;
        if (read == 0) continue; // still pending
        if (read < 0) {
            if (!ReaderServesOpenLink(linkNumber)) break; // the link is being closed
            DebugLog("Read Usb Error will return !\n");
            g_bJobIdle() = false;
            g_bReadThreadEnd() = true;
            g_hReplyEvent().Set(); // no sender waits for a reply that cannot come
            NotifyLinkGone();
            break;
        }
        {
            std::lock_guard lock(g_SendLock());
            DumpReport("Read:", report, 1, kUsbReportSize - 1);
        }
        ProcessDeviceReply(report, kUsbReportSize);
    }
    g_hReaderEndedEvent().Set();
    DebugLog("End thread: ReadUsbThreadProc \n");
}

int WriteReport(const uint8_t* bytes, int count) {
    if (!g_bConnected()) return 0;
    if (g_bReadThreadEnd()) {
        DebugLog("g_bReadThreadEnd() == TRUE ,WriteUsbData return \n");
        return 0;
    }
    const auto report = BuildUsbReport(bytes, count);
    int written = 0;
    {
        std::lock_guard lock(g_SendLock());
        if (const auto& device = Usb().device)
            written = std::max(0, device->Write(report.data(), kUsbReportSize));
        DumpReport("Write:", report.data(), 1, 59);
    }
    if (written == kUsbReportSize) return kUsbReportSize;
    DebugLog("usb数据写入出错");
    return written;
}

// The outbox's wire on USB: a command record as it is, bytes for the radio
// module as 18, their count, the bytes.
class UsbWire : public fx::ILinkWire {
public:
    bool WriteRecord(fx::RecordKind kind, const uint8_t* bytes, int count) override {
        if (kind == fx::RecordKind::Command) return WriteReport(bytes, count) == kUsbReportSize;
        uint8_t radio[kUsbReportSize - 1] = {CMD_RADIO_FRAME, 0};
        const int taken = std::clamp(count, 0, kUsbReportSize - 3);
        radio[1] = static_cast<uint8_t>(taken);
        if (taken > 0) std::memcpy(radio + 2, bytes, static_cast<size_t>(taken));
        return WriteReport(radio, taken + 2) == kUsbReportSize;
    }
};

void CloseUsb(bool sendLetGo) {
    if (!g_bConnected() || !CurrentDevice()) return;
    fx::DeviceReplies().LinkClosed();
    if (sendLetGo) {
        const uint8_t letGo[] = {CMD_LET_GO};
        fx::Outbox().PostLast(letGo, sizeof letGo);
    }
    g_bConnected() = false;
    NotifyLinkGone();
    fx::Outbox().Close();
    EndReaderAndCloseDevice();
    // Again once the reader has ended: a status reply may have landed while
    // the link was closing.
    fx::DeviceReplies().LinkClosed();
}
} // namespace

int OpenDeviceLink() {
    if (g_bConnected()) return 0;
    if (g_bNetMode()) return OpenNetTarget();
    fx::Link& link = fx::CurrentLink();
    link.Usb().readers.JoinEnded();
    g_hReplyEvent().Set(); // created signalled: the first sender does not wait
    if (!FindAndOpenHidDevice()) return 0;
    g_bReadThreadEnd() = false;
    const unsigned linkNumber = ++link.Usb().linkNumber;
    g_bConnected() = true;
    fx::Outbox().Open(std::make_shared<UsbWire>(), {"WaitForSingleObject Time Out \r\n ", ""});
    link.Usb().readers.Start([&link, device = CurrentDevice(), linkNumber] {
        fx::LinkScope scope(link);
        RunReader(device, linkNumber);
    });
    return 1;
}

int FindAndOpenHidDevice() {
    if (!RegisterDeviceArrival()) {
        if (IViewNotifier* view = GetViewNotifier())
            view->ShowErrorBox("Can't register device notification: ", "Error");
        DebugLog("注册Guid错误，可能不能捕捉设备的连接或移除\n");
        return 0;
    }
    const std::vector<HidInterfaceInfo> interfaces = HidBackend().Enumerate();
    DebugLog("开始枚举usb设备");
    for (int index = 0; index < kMaxHidInterfaces; ++index) {
        if (index >= static_cast<int>(interfaces.size())) {
            DebugLog("枚举usb设备出错,usb设备接口可能枚举完成了");
            break;
        }
        DebugLog("枚举usb设备成功");
        const HidInterfaceInfo& info = interfaces[static_cast<size_t>(index)];
        if (!info.active) continue;
        if (!Usb().wantedPath.empty() && info.path != Usb().wantedPath) continue;
        std::unique_ptr<IHidDevice> device = TryOpenInterface(info.path);
        if (!device) continue;
        {
            std::lock_guard lock(g_SendLock());
            Usb().device = std::move(device);
            Usb().devicePath = info.path;
        }
        DebugLog("连接目标设备成功!");
        return 1;
    }
    DebugLog("连接目标设备失败，没有找到目标设备");
    return 0;
}

std::vector<std::string> FindProcessorInterfaces() {
    std::vector<std::string> paths;
    const std::vector<HidInterfaceInfo> interfaces = HidBackend().Enumerate();
    for (size_t index = 0;
         index < interfaces.size() && index < static_cast<size_t>(kMaxHidInterfaces); ++index) {
        const HidInterfaceInfo& info = interfaces[index];
        if (info.active && TryOpenInterface(info.path)) paths.push_back(info.path);
    }
    return paths;
}

void ReadUsbThreadProc() {
    RunReader(CurrentDevice(), Usb().linkNumber);
}

int WriteUsbDataNoWait(const uint8_t* bytes, int count) {
    return WriteReport(bytes, count);
}

void CloseUsbLink() {
    CloseUsb(false);
}

void DisconnectUsb() {
    CloseUsb(true);
}

bool RegisterDeviceArrival() {
    // Other backends (the virtual device) raise their own notices.
    if (&HidBackend() != &DefaultHidBackend()) return true;
    std::lock_guard lock(g_monitorMutex);
    return g_udevMonitor.Start();
}

void UnregisterDeviceArrival() {
    std::lock_guard lock(g_monitorMutex);
    g_udevMonitor.Stop();
}

std::string UsbDevicePath() {
    std::lock_guard lock(g_SendLock());
    return Usb().devicePath;
}

void CloseLinkThreads() {
    NetDisconnect(false);
    CloseUsbLink();
    fx::Link& link = fx::CurrentLink();
    link.Outbox().Close();
    if (std::shared_ptr<IHidDevice> device = CurrentDevice()) device->Cancel();
    link.Usb().readers.WaitAllEnded(kReaderEndWaitMs);
}
