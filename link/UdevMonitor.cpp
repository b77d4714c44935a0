#include "link/UdevMonitor.h"

#include "link/HidDevice.h"

#include <cstring>
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

UdevMonitor::~UdevMonitor() {
    Stop();
}

const char* UdevMonitor::EventSource() {
    return ::access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
}

bool UdevMonitor::Start() {
    if (IsRunning()) return true;
    m_udev = udev_new();
    if (m_udev) m_monitor = udev_monitor_new_from_netlink(m_udev, EventSource());
    const bool ready =
        m_monitor &&
        udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr) >= 0 &&
        udev_monitor_enable_receiving(m_monitor) >= 0;
    if (ready) m_wakeFd = ::eventfd(0, EFD_CLOEXEC);
    if (!ready || m_wakeFd < 0) {
        Stop();
        return false;
    }
    m_thread = std::thread(&UdevMonitor::Run, this);
    return true;
}

void UdevMonitor::Stop() {
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wakeFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_wakeFd >= 0) ::close(m_wakeFd);
    m_wakeFd = -1;
    if (m_monitor) udev_monitor_unref(m_monitor);
    m_monitor = nullptr;
    if (m_udev) udev_unref(m_udev);
    m_udev = nullptr;
}

void UdevMonitor::Run() {
    pollfd fds[2] = {{udev_monitor_get_fd(m_monitor), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        if (fds[0].revents & POLLIN) HandleOneEvent();
    }
}

void UdevMonitor::HandleOneEvent() {
    udev_device* device = udev_monitor_receive_device(m_monitor);
    if (!device) return;
    const char* action = udev_device_get_action(device);
    const char* node = udev_device_get_devnode(device);
    if (action && node) {
        if (std::strcmp(action, "add") == 0)
            RaiseHidNotice(HidNotice::Arrival, node);
        else if (std::strcmp(action, "remove") == 0)
            RaiseHidNotice(HidNotice::Removal, node);
    }
    udev_device_unref(device);
}
