#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The HID access the USB transport needs: enumerate interfaces with their
// paths, open one for 61-byte report I/O, read its vendor and product
// identifiers. Two implementations: hidapi's hidraw backend for real
// processors, and a virtual device hosting the simulated processor.

struct HidInterfaceInfo {
    std::string path; // device node; matches the path of arrival and removal notices
    bool active = true;
};

class IHidDevice {
public:
    virtual ~IHidDevice() = default;
    // Reads the HID attributes; false on failure.
    virtual bool GetAttributes(uint16_t& vendorId, uint16_t& productId) = 0;
    // Writes one output report (byte 0 is the report id). Returns bytes written, -1 on failure.
    virtual int Write(const uint8_t* report, int size) = 0;
    // Reads one input report, waiting up to timeoutMs (-1 = forever). Returns
    // the bytes read, 0 on time-out, -1 when the device is gone or failed.
    virtual int Read(uint8_t* report, int size, int timeoutMs) = 0;
    // Makes a blocked Read return -1 at once (used when the link closes).
    virtual void Cancel() = 0;
};

class IHidBackend {
public:
    virtual ~IHidBackend() = default;
    // Present HID interfaces, in enumeration order.
    virtual std::vector<HidInterfaceInfo> Enumerate() = 0;
    // Opens an interface for reading and writing; nullptr on failure.
    virtual std::unique_ptr<IHidDevice> Open(const std::string& path) = 0;
};

// Arrival and removal notices of HID interfaces, carrying the path.
enum class HidNotice { Arrival, Removal };
using HidNoticeCallback = std::function<void(HidNotice, const std::string& path)>;

// The backend used by the USB transport: hidapi (hidraw) unless another one
// (the virtual device) was installed. nullptr restores hidapi.
void SetHidBackend(IHidBackend* backend);
IHidBackend& HidBackend();

// The one listener of arrival and removal notices (the main view, through
// RegisterDeviceArrival). The udev monitor raises notices for real devices,
// the virtual device when it is plugged or unplugged.
void SetHidNoticeListener(HidNoticeCallback listener);
void RaiseHidNotice(HidNotice notice, const std::string& path);
