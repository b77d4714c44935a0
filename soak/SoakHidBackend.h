#pragma once

#include "link/HidDevice.h"
#include "sim/VirtualHidBackend.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace fx {

class Link;

// The HID back-end of the soak: every processor's virtual USB device, each
// seen only by the link of the processor it belongs to, as if each were
// plugged into a machine of its own. Installed while it lives.
class SoakHidBackend : public IHidBackend {
public:
    SoakHidBackend();
    ~SoakHidBackend() override;
    SoakHidBackend(const SoakHidBackend&) = delete;
    SoakHidBackend& operator=(const SoakHidBackend&) = delete;

    // The device the link finds; nullptr takes it away.
    void Attach(const Link& link, VirtualHidBackend* device);

    // The calling thread's link's device.
    std::vector<HidInterfaceInfo> Enumerate() override;
    std::unique_ptr<IHidDevice> Open(const std::string& path) override;

private:
    VirtualHidBackend* CurrentDevice();

    std::mutex m_mutex;
    std::map<const Link*, VirtualHidBackend*> m_devices;
};

} // namespace fx
