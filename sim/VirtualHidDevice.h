#pragma once

#include "link/HidDevice.h"
#include "sim/VirtualHidLine.h"

#include <atomic>
#include <memory>

// An opened virtual HID interface. The processor's interface hands every
// output report to the simulated processor and reads its replies as input
// reports; a foreign interface (another vendor's device) only answers its
// attributes.
class VirtualHidDevice : public IHidDevice {
public:
    VirtualHidDevice(std::shared_ptr<VirtualHidLine> line, uint16_t vendorId, uint16_t productId,
                     bool isProcessor);

    bool GetAttributes(uint16_t& vendorId, uint16_t& productId) override;
    int Write(const uint8_t* report, int size) override;
    int Read(uint8_t* report, int size, int timeoutMs) override;
    void Cancel() override;

    // Output reports whose first byte was not the report id 2.
    int BadReportIds() const { return m_badReportIds; }

private:
    std::shared_ptr<VirtualHidLine> m_line;
    const uint16_t m_vendorId;
    const uint16_t m_productId;
    const bool m_isProcessor;
    const unsigned m_generation;
    bool m_cancelled = false; // guarded by the line's mutex
    std::atomic<int> m_badReportIds{0};
};
