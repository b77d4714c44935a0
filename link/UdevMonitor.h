#pragma once

#include <atomic>
#include <string>
#include <thread>

struct udev;
struct udev_monitor;

// Watches the "hidraw" subsystem and raises RaiseHidNotice with the device
// node (which equals hidapi's path) for every added or removed interface.
class UdevMonitor {
public:
    UdevMonitor() = default;
    ~UdevMonitor();
    UdevMonitor(const UdevMonitor&) = delete;
    UdevMonitor& operator=(const UdevMonitor&) = delete;

    // Starts the monitor thread; true when running (also when it already was).
    bool Start();
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }

    // "udev" when the udev daemon runs, else "kernel" (raw kernel events).
    static const char* EventSource();

private:
    void Run();
    void HandleOneEvent();

    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    int m_wakeFd = -1;
    std::thread m_thread;
};
