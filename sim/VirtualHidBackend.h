#pragma once

#include "link/HidDevice.h"
#include "sim/SimProcessor.h"
#include "sim/VirtualHidLine.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A HID backend that holds the simulated processor as a virtual USB device,
// so the whole USB path of the editor runs without hardware. Install it with
// SetHidBackend(&backend). Foreign HID devices (other identifiers) can be
// listed before it to exercise the device search.
class VirtualHidBackend : public IHidBackend {
public:
    static constexpr const char* kProcessorPath = "/dev/hidraw-virtual0";
    static constexpr uint16_t kVendorId = 0x2010;
    static constexpr uint16_t kProductId = 0x1031;
    static constexpr uint16_t kForeignVendorId = 0x046D;
    static constexpr uint16_t kForeignProductId = 0xC52B;

    // The processor starts plugged in.
    explicit VirtualHidBackend(SimProcessor& processor, std::string path = kProcessorPath);
    ~VirtualHidBackend() override;
    VirtualHidBackend(const VirtualHidBackend&) = delete;
    VirtualHidBackend& operator=(const VirtualHidBackend&) = delete;

    std::vector<HidInterfaceInfo> Enumerate() override;
    std::unique_ptr<IHidDevice> Open(const std::string& path) override;

    // Plugging raises the arrival notice, unplugging the removal notice;
    // unplugging makes every opened device fail its reads and writes.
    void Plug();
    void Unplug();
    bool IsPlugged() const;
    const std::string& Path() const { return m_path; }

    // Foreign devices listed before the processor, paths
    // "/dev/hidraw-foreign<N>"; changing the count raises their notices.
    void SetForeignDeviceCount(int count);
    static std::string ForeignPath(int index);

    // Paths opened so far, in order.
    std::vector<std::string> OpenedPaths() const;
    // Puts an input report (the record from byte 0) in front of the editor now.
    void SendInputReport(const SimRecord& record);

private:
    SimProcessor& m_processor;
    const std::string m_path;
    std::shared_ptr<VirtualHidLine> m_line;
    mutable std::mutex m_mutex;
    int m_foreignCount = 0;
    std::vector<std::string> m_openedPaths;
};
