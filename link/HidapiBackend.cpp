#include "link/HidapiBackend.h"

#include <hidapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

namespace {
// Reads wait in slices so that Cancel takes effect quickly.
constexpr int kCancelSliceMs = 50;

class HidapiDevice : public IHidDevice {
public:
    explicit HidapiDevice(hid_device* handle) : m_handle(handle) {}
    ~HidapiDevice() override { hid_close(m_handle); }

    bool GetAttributes(uint16_t& vendorId, uint16_t& productId) override {
        const hid_device_info* info = hid_get_device_info(m_handle);
        if (!info) return false;
        vendorId = info->vendor_id;
        productId = info->product_id;
        return true;
    }

    int Write(const uint8_t* report, int size) override {
        return hid_write(m_handle, report, static_cast<size_t>(size));
    }

    int Read(uint8_t* report, int size, int timeoutMs) override {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (m_cancelled) return -1;
            int slice = kCancelSliceMs;
            if (timeoutMs >= 0) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                        .count();
                if (left <= 0) return 0;
                slice = static_cast<int>(std::min<long long>(left, kCancelSliceMs));
            }
            const int read = hid_read_timeout(m_handle, report, static_cast<size_t>(size), slice);
            if (read < 0) return -1;
            if (read > 0) return WithReportIdByte(report, read, size);
        }
    }

    void Cancel() override { m_cancelled = true; }

private:
    // hidraw leaves out the report id byte of an unnumbered report; the
    // reader expects every report to start with it (then 0), as a whole
    // report of `size` bytes.
    static int WithReportIdByte(uint8_t* report, int read, int size) {
        if (read != size - 1) return read;
        std::memmove(report + 1, report, static_cast<size_t>(read));
        report[0] = 0;
        return size;
    }

    hid_device* m_handle;
    std::atomic<bool> m_cancelled{false};
};

std::atomic<IHidBackend*> g_installedBackend{nullptr};
} // namespace

HidapiBackend::HidapiBackend() {
    hid_init();
}

HidapiBackend::~HidapiBackend() = default;

std::vector<HidInterfaceInfo> HidapiBackend::Enumerate() {
    std::vector<HidInterfaceInfo> interfaces;
    hid_device_info* list = hid_enumerate(0, 0);
    for (const hid_device_info* info = list; info; info = info->next) {
        // One device node may be listed once per top-level collection.
        if (!info->path) continue;
        if (!interfaces.empty() && interfaces.back().path == info->path) continue;
        interfaces.push_back({info->path, true});
    }
    hid_free_enumeration(list);
    return interfaces;
}

std::unique_ptr<IHidDevice> HidapiBackend::Open(const std::string& path) {
    hid_device* handle = hid_open_path(path.c_str());
    if (!handle) return nullptr;
    return std::make_unique<HidapiDevice>(handle);
}

IHidBackend& DefaultHidBackend() {
    static HidapiBackend backend;
    return backend;
}

void SetHidBackend(IHidBackend* backend) {
    g_installedBackend = backend;
}

IHidBackend& HidBackend() {
    if (IHidBackend* installed = g_installedBackend) return *installed;
    return DefaultHidBackend();
}
