#include "sim/VirtualHidDevice.h"

#include <algorithm>
#include <cstring>
#include <thread>

VirtualHidDevice::VirtualHidDevice(std::shared_ptr<VirtualHidLine> line, uint16_t vendorId,
                                   uint16_t productId, bool isProcessor)
    : m_line(std::move(line)), m_vendorId(vendorId), m_productId(productId),
      m_isProcessor(isProcessor), m_generation(m_line->Generation()) {}

bool VirtualHidDevice::GetAttributes(uint16_t& vendorId, uint16_t& productId) {
    if (m_isProcessor && !m_line->IsAlive(m_generation)) return false;
    vendorId = m_vendorId;
    productId = m_productId;
    return true;
}

int VirtualHidDevice::Write(const uint8_t* report, int size) {
    if (size < 1) return -1;
    if (!m_isProcessor) return size;
    if (!m_line->IsAlive(m_generation)) return -1;
    if (report[0] != kUsbReportId) {
        ++m_badReportIds;
        return size;
    }
    for (const SimReply& reply : m_line->Processor().Answer(report + 1, size - 1)) {
        if (reply.damagedBefore) {
            // USB carries no checksum: the damage shows as a report whose
            // reply code was lost.
            SimRecord damaged = reply.record;
            if (damaged.size() > 1) damaged[1] = 0;
            m_line->PushReply(damaged, reply.due);
        }
        m_line->PushReply(reply.record, reply.due);
    }
    return size;
}

int VirtualHidDevice::Read(uint8_t* report, int size, int timeoutMs) {
    if (!m_isProcessor) {
        // A foreign device never reports anything to us.
        if (timeoutMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return 0;
    }
    VirtualHidLine::Report input{};
    const int result = m_line->Pop(input, m_generation, m_cancelled, timeoutMs);
    if (result <= 0) return result;
    const int copied = std::min(size, kUsbReportSize);
    std::memcpy(report, input.data(), static_cast<size_t>(copied));
    return copied;
}

void VirtualHidDevice::Cancel() {
    {
        std::lock_guard lock(m_line->Mutex());
        m_cancelled = true;
    }
    m_line->WakeReaders();
}
