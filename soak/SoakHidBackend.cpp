#include "SoakHidBackend.h"

#include "link/Link.h"

namespace fx {

SoakHidBackend::SoakHidBackend() {
    SetHidBackend(this);
}

SoakHidBackend::~SoakHidBackend() {
    SetHidBackend(nullptr);
}

void SoakHidBackend::Attach(const Link& link, VirtualHidBackend* device) {
    std::lock_guard lock(m_mutex);
    if (device != nullptr)
        m_devices[&link] = device;
    else
        m_devices.erase(&link);
}

VirtualHidBackend* SoakHidBackend::CurrentDevice() {
    std::lock_guard lock(m_mutex);
    const auto found = m_devices.find(&CurrentLink());
    return found != m_devices.end() ? found->second : nullptr;
}

std::vector<HidInterfaceInfo> SoakHidBackend::Enumerate() {
    VirtualHidBackend* device = CurrentDevice();
    return device != nullptr ? device->Enumerate() : std::vector<HidInterfaceInfo>{};
}

std::unique_ptr<IHidDevice> SoakHidBackend::Open(const std::string& path) {
    VirtualHidBackend* device = CurrentDevice();
    return device != nullptr ? device->Open(path) : nullptr;
}

} // namespace fx
