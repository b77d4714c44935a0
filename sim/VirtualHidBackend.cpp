#include "sim/VirtualHidBackend.h"

#include "sim/VirtualHidDevice.h"

VirtualHidBackend::VirtualHidBackend(SimProcessor& processor, std::string path)
    : m_processor(processor), m_path(std::move(path)),
      m_line(std::make_shared<VirtualHidLine>(processor)) {
    // Unasked replies (a learned key) come in as input reports at once.
    m_processor.SetReplySink([line = m_line, &processor](const SimRecord& reply) {
        line->PushReply(reply, processor.UnsolicitedDue());
    });
}

VirtualHidBackend::~VirtualHidBackend() {
    m_processor.SetReplySink(nullptr);
}

std::vector<HidInterfaceInfo> VirtualHidBackend::Enumerate() {
    std::vector<HidInterfaceInfo> interfaces;
    {
        std::lock_guard lock(m_mutex);
        for (int i = 0; i < m_foreignCount; ++i) interfaces.push_back({ForeignPath(i), true});
    }
    if (m_line->IsPlugged()) interfaces.push_back({m_path, true});
    return interfaces;
}

std::unique_ptr<IHidDevice> VirtualHidBackend::Open(const std::string& path) {
    std::lock_guard lock(m_mutex);
    if (path == m_path) {
        if (!m_line->IsPlugged()) return nullptr;
        m_openedPaths.push_back(path);
        return std::make_unique<VirtualHidDevice>(m_line, kVendorId, kProductId, true);
    }
    for (int i = 0; i < m_foreignCount; ++i) {
        if (path == ForeignPath(i)) {
            m_openedPaths.push_back(path);
            return std::make_unique<VirtualHidDevice>(m_line, kForeignVendorId, kForeignProductId,
                                                      false);
        }
    }
    return nullptr;
}

void VirtualHidBackend::Plug() {
    if (m_line->IsPlugged()) return;
    m_line->SetPlugged(true);
    RaiseHidNotice(HidNotice::Arrival, m_path);
}

void VirtualHidBackend::Unplug() {
    if (!m_line->IsPlugged()) return;
    m_line->SetPlugged(false);
    RaiseHidNotice(HidNotice::Removal, m_path);
}

bool VirtualHidBackend::IsPlugged() const {
    return m_line->IsPlugged();
}

void VirtualHidBackend::SetForeignDeviceCount(int count) {
    int previous = 0;
    {
        std::lock_guard lock(m_mutex);
        previous = m_foreignCount;
        m_foreignCount = count;
    }
    for (int i = count; i < previous; ++i) RaiseHidNotice(HidNotice::Removal, ForeignPath(i));
    for (int i = previous; i < count; ++i) RaiseHidNotice(HidNotice::Arrival, ForeignPath(i));
}

std::string VirtualHidBackend::ForeignPath(int index) {
    return "/dev/hidraw-foreign" + std::to_string(index);
}

std::vector<std::string> VirtualHidBackend::OpenedPaths() const {
    std::lock_guard lock(m_mutex);
    return m_openedPaths;
}

void VirtualHidBackend::SendInputReport(const SimRecord& record) {
    m_line->PushReply(record);
}
