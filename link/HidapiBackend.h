#pragma once

#include "link/HidDevice.h"

// HID access through hidapi's hidraw backend; the default backend.
class HidapiBackend : public IHidBackend {
public:
    HidapiBackend();
    ~HidapiBackend() override;
    std::vector<HidInterfaceInfo> Enumerate() override;
    std::unique_ptr<IHidDevice> Open(const std::string& path) override;
};

// The process's hidapi backend (what HidBackend() returns unless another
// backend is installed).
IHidBackend& DefaultHidBackend();
