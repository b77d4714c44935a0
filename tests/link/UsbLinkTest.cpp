#include "link/UsbLink.h"
#include "link/HidDevice.h"
#include "link/ReplyDispatcher.h"
#include "state/DeviceMirrors.h"

#include "LinkTestSupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {
using linktest::DebugLines;
using linktest::LinkGlobalsGuard;
using linktest::WaitUntil;
using Bytes = std::vector<uint8_t>;

// The processor's end of a fake HID device: reports written to it, input
// reports waiting to be read, and whether it is plugged in.
class FakeProcessor {
public:
    void QueueInput(const Bytes& report) {
        {
            std::lock_guard lock(m_mutex);
            m_inputs.push_back(report);
        }
        m_cond.notify_all();
    }
    void Unplug() {
        {
            std::lock_guard lock(m_mutex);
            m_unplugged = true;
        }
        m_cond.notify_all();
    }
    std::vector<Bytes> Written() const {
        std::lock_guard lock(m_mutex);
        return m_written;
    }

    int Write(const uint8_t* report, int size) {
        std::lock_guard lock(m_mutex);
        if (m_unplugged) return -1;
        m_written.emplace_back(report, report + size);
        return size;
    }
    // -1 when unplugged or cancelled, 0 on time-out, else the report size.
    int Read(uint8_t* report, int size, int timeoutMs, const std::atomic<bool>& cancelled) {
        std::unique_lock lock(m_mutex);
        const bool ready = m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            return m_unplugged || cancelled || !m_inputs.empty();
        });
        if (m_unplugged || cancelled) return -1;
        if (!ready) return 0;
        const Bytes input = m_inputs.front();
        m_inputs.pop_front();
        std::copy_n(input.begin(), std::min<size_t>(input.size(), size_t(size)), report);
        return size;
    }
    void WakeReaders() { m_cond.notify_all(); }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    std::deque<Bytes> m_inputs;
    std::vector<Bytes> m_written;
    bool m_unplugged = false;
};

struct FakeInterface {
    std::string path;
    uint16_t vendorId = 0x1234;
    uint16_t productId = 0x5678;
    bool active = true;
    bool openable = true;
    bool attributesReadable = true;
};

// A HID backend over a list of interfaces; every processor interface shares
// one FakeProcessor. Counts opens and closes per path.
class FakeHidBackend : public IHidBackend {
public:
    std::vector<FakeInterface> interfaces;
    FakeProcessor processor;

    std::vector<HidInterfaceInfo> Enumerate() override {
        ++enumerations;
        std::vector<HidInterfaceInfo> out;
        for (const FakeInterface& i : interfaces) out.push_back({i.path, i.active});
        return out;
    }
    std::unique_ptr<IHidDevice> Open(const std::string& path) override;

    int Opens(const std::string& path) {
        std::lock_guard lock(mutex);
        return opens[path];
    }
    int Closes(const std::string& path) {
        std::lock_guard lock(mutex);
        return closes[path];
    }

    std::mutex mutex;
    std::map<std::string, int> opens;
    std::map<std::string, int> closes;
    std::atomic<int> enumerations{0};
};

class FakeDevice : public IHidDevice {
public:
    FakeDevice(FakeHidBackend& backend, FakeInterface info) : m_backend(backend), m_info(info) {}
    ~FakeDevice() override {
        std::lock_guard lock(m_backend.mutex);
        ++m_backend.closes[m_info.path];
    }
    bool GetAttributes(uint16_t& vendorId, uint16_t& productId) override {
        if (!m_info.attributesReadable) return false;
        vendorId = m_info.vendorId;
        productId = m_info.productId;
        return true;
    }
    int Write(const uint8_t* report, int size) override {
        return m_backend.processor.Write(report, size);
    }
    int Read(uint8_t* report, int size, int timeoutMs) override {
        return m_backend.processor.Read(report, size, timeoutMs, m_cancelled);
    }
    void Cancel() override {
        m_cancelled = true;
        m_backend.processor.WakeReaders();
    }

private:
    FakeHidBackend& m_backend;
    FakeInterface m_info;
    std::atomic<bool> m_cancelled{false};
};

std::unique_ptr<IHidDevice> FakeHidBackend::Open(const std::string& path) {
    for (const FakeInterface& i : interfaces) {
        if (i.path != path) continue;
        if (!i.openable) return nullptr;
        {
            std::lock_guard lock(mutex);
            ++opens[path];
        }
        return std::make_unique<FakeDevice>(*this, i);
    }
    return nullptr;
}

FakeInterface Processor(const std::string& path) {
    FakeInterface i;
    i.path = path;
    i.vendorId = kProcessorVendorId;
    i.productId = kProcessorProductId;
    return i;
}

FakeInterface Other(const std::string& path) {
    FakeInterface i;
    i.path = path;
    return i;
}

Bytes Reply(uint8_t code, Bytes rest = {}) {
    Bytes report(kUsbReportSize, 0);
    report[1] = code;
    std::copy(rest.begin(), rest.end(), report.begin() + 2);
    return report;
}

Bytes UsbReport(Bytes record) {
    record.insert(record.begin(), kUsbReportId);
    record.resize(kUsbReportSize, 0);
    return record;
}

class UsbLink : public ::testing::Test {
protected:
    void SetUp() override {
        g_bNetMode() = false;
        SetHidBackend(&backend);
    }
    void TearDown() override {
        CloseUsbLink();
        SetHidBackend(nullptr);
        SetLinkClock(nullptr);
    }
    // Link time runs `factor` times faster until the link has closed.
    void UseFastClock(int factor) { SetLinkClock(std::make_shared<ScaledLinkClock>(factor)); }

    LinkGlobalsGuard guard;
    FakeHidBackend backend;
};

TEST_F(UsbLink, FindsTheProcessorPastOtherDevices) {
    DebugLines lines;
    FakeInterface inactive = Processor("/dev/hidraw1");
    inactive.active = false;
    FakeInterface unopenable = Processor("/dev/hidraw2");
    unopenable.openable = false;
    FakeInterface mute = Processor("/dev/hidraw3");
    mute.attributesReadable = false;
    backend.interfaces = {
        Other("/dev/hidraw0"),    inactive, unopenable, mute, Processor("/dev/hidraw4"),
        Processor("/dev/hidraw5")};

    ASSERT_EQ(OpenDeviceLink(), 1);
    EXPECT_TRUE(g_bConnected());
    EXPECT_EQ(UsbDevicePath(), "/dev/hidraw4");
    // The other device was opened, checked and closed; the inactive one never opened.
    EXPECT_EQ(backend.Opens("/dev/hidraw0"), 1);
    EXPECT_EQ(backend.Closes("/dev/hidraw0"), 1);
    EXPECT_EQ(backend.Opens("/dev/hidraw1"), 0);
    EXPECT_EQ(backend.Closes("/dev/hidraw3"), 1);
    EXPECT_EQ(backend.Opens("/dev/hidraw5"), 0);
    for (const char* line :
         {"开始枚举usb设备", "无法打开通信端口。不能读取设备信息!(设备连接可能不正确?)\n",
          "查询设备信息出错!\n", "设备路径:\r\n/dev/hidraw4", "连接目标设备成功!"})
        EXPECT_TRUE(lines.Has(line)) << line;
    EXPECT_TRUE(lines.WaitFor("start thread: ReadUsbThreadProc \n"));

    CloseUsbLink();
    EXPECT_FALSE(g_bConnected());
    EXPECT_EQ(UsbDevicePath(), "");
    EXPECT_EQ(backend.Closes("/dev/hidraw4"), 1);
    EXPECT_TRUE(lines.Has("End thread: ReadUsbThreadProc \n"));
}

TEST_F(UsbLink, OnlyTheFirst32InterfacesAreLookedAt) {
    for (int i = 0; i < 32; ++i) backend.interfaces.push_back(Other("/dev/o" + std::to_string(i)));
    backend.interfaces.push_back(Processor("/dev/late"));
    {
        DebugLines lines;
        EXPECT_EQ(OpenDeviceLink(), 0);
        EXPECT_FALSE(g_bConnected());
        EXPECT_EQ(backend.Opens("/dev/late"), 0);
        EXPECT_TRUE(lines.Has("连接目标设备失败，没有找到目标设备"));
        EXPECT_FALSE(lines.Has("枚举usb设备出错,usb设备接口可能枚举完成了"));
    }
    backend.interfaces.erase(backend.interfaces.begin());
    EXPECT_EQ(OpenDeviceLink(), 1);
    EXPECT_EQ(UsbDevicePath(), "/dev/late");
}

TEST_F(UsbLink, OpeningWhileConnectedChangesNothing) {
    backend.interfaces = {Processor("/dev/a")};
    ASSERT_EQ(OpenDeviceLink(), 1);
    const int enumerations = backend.enumerations;
    backend.interfaces.insert(backend.interfaces.begin(), Processor("/dev/b"));
    EXPECT_EQ(OpenDeviceLink(), 0);
    EXPECT_EQ(backend.enumerations, enumerations);
    EXPECT_EQ(UsbDevicePath(), "/dev/a");
    EXPECT_TRUE(g_bConnected());
}

// The outbox's wire on USB: a record goes out as a whole report, a radio
// acknowledgement as 18, 1, 6; input reports reach the dispatcher.
TEST_F(UsbLink, WritesWholeReportsAndDispatchesInputReports) {
    DebugLines lines;
    backend.interfaces = {Processor("/dev/p")};
    ASSERT_EQ(OpenDeviceLink(), 1);

    SendShortCmd({CMD_GET_STATUS});
    ASSERT_TRUE(WaitUntil([&] { return backend.processor.Written().size() == 1; }));
    backend.processor.QueueInput(Reply(REPLY_RADIO, {3, 0x10, 0x20, 0x30}));
    ASSERT_TRUE(WaitUntil([&] { return backend.processor.Written().size() == 2; }));
    EXPECT_EQ(backend.processor.Written(),
              (std::vector<Bytes>{UsbReport({0x0E}), UsbReport({18, 1, 6})}));
    std::string dump = "Write:0E ";
    for (int i = 2; i <= 59; ++i) dump += "00 ";
    EXPECT_TRUE(lines.Has(dump + "\n"));

    g_CurrentMode() = 0;
    backend.processor.QueueInput(Reply(REPLY_CURRENT_MODE, {3}));
    EXPECT_TRUE(WaitUntil([] { return g_CurrentMode() == 3; }));
    std::string readDump = "Read:07 03 ";
    for (int i = 3; i <= 60; ++i) readDump += "00 ";
    EXPECT_TRUE(lines.WaitFor(readDump + "\n"));
}

TEST_F(UsbLink, ALostReplyCostsTheWaitAndTheCommandStillGoesOut) {
    UseFastClock(50);
    DebugLines lines;
    backend.interfaces = {Processor("/dev/p")};
    ASSERT_EQ(OpenDeviceLink(), 1);

    SendShortCmd({CMD_GET_MODE});
    ASSERT_TRUE(WaitUntil([&] { return backend.processor.Written().size() == 1; }));
    EXPECT_FALSE(lines.Has("WaitForSingleObject Time Out \r\n "));
    // No reply to the first command: the second waits it out, then is sent.
    SendShortCmd({CMD_GET_STATUS});
    ASSERT_TRUE(WaitUntil([&] { return backend.processor.Written().size() == 2; }));
    EXPECT_TRUE(lines.Has("WaitForSingleObject Time Out \r\n "));

    // The answer to the command in flight releases the next record without a
    // time-out; another command's answer does not.
    backend.processor.QueueInput(Reply(REPLY_DSP_WRITE));
    backend.processor.QueueInput(Reply(REPLY_STATUS));
    ASSERT_TRUE(WaitUntil([] { return g_hReplyEvent().IsSet(); }));
    DebugLines after;
    SendShortCmd({CMD_GET_MODE});
    ASSERT_TRUE(WaitUntil([&] { return backend.processor.Written().size() == 3; }));
    EXPECT_FALSE(after.Has("WaitForSingleObject Time Out \r\n "));
}

TEST_F(UsbLink, UnpluggingEndsTheReaderAndEveryLaterWriteIsRefused) {
    DebugLines lines;
    backend.interfaces = {Processor("/dev/p")};
    ASSERT_EQ(OpenDeviceLink(), 1);
    g_bJobIdle() = true;

    // The outbox waits for the reply to its previous record.
    SendShortCmd({CMD_GET_MODE});
    ASSERT_TRUE(WaitUntil([&] { return backend.processor.Written().size() == 1; }));
    SendShortCmd({CMD_GET_STATUS});
    ASSERT_TRUE(lines.WaitFor("start thread: ReadUsbThreadProc \n"));
    backend.processor.Unplug();

    ASSERT_TRUE(lines.WaitFor("Read Usb Error will return !\n"));
    EXPECT_TRUE(g_bReadThreadEnd());
    EXPECT_FALSE(g_bJobIdle());
    // The reader released the waiting record instead of letting it time out.
    ASSERT_TRUE(lines.WaitFor("g_bReadThreadEnd() == TRUE ,WriteUsbData return \n"));
    EXPECT_FALSE(lines.Has("WaitForSingleObject Time Out \r\n "));

    for (int i = 0; i < 3; ++i) SendShortCmd({CMD_GET_MODE});
    EXPECT_TRUE(WaitUntil([&] {
        int refused = 0;
        for (const std::string& line : lines.Lines())
            refused += line == "g_bReadThreadEnd() == TRUE ,WriteUsbData return \n";
        return refused == 4;
    }));
    EXPECT_EQ(backend.processor.Written().size(), 1u);
    EXPECT_TRUE(g_bConnected()) << "the removal notice closes the link";

    CloseUsbLink();
    EXPECT_FALSE(g_bConnected());
    EXPECT_FALSE(lines.Has("wait read thread exited time out !\n"));
}

TEST_F(UsbLink, DisconnectSendsLetGoAndTheLinkReopensEveryTime) {
    DebugLines lines;
    backend.interfaces = {Processor("/dev/p")};
    constexpr int kRounds = 20;
    for (int round = 0; round < kRounds; ++round) {
        ASSERT_EQ(OpenDeviceLink(), 1) << round;
        g_StatusBlock()[3] = 9;
        DisconnectUsb();
        EXPECT_FALSE(g_bConnected());
        EXPECT_EQ(g_StatusBlock()[3], 0);
        ASSERT_FALSE(backend.processor.Written().empty());
        EXPECT_EQ(backend.processor.Written().back(), UsbReport({CMD_LET_GO}));
        EXPECT_EQ(backend.processor.Written().size(), size_t(round + 1));
    }
    int ended = 0;
    for (const std::string& line : lines.Lines())
        ended += line == "End thread: ReadUsbThreadProc \n";
    EXPECT_EQ(ended, kRounds);
    EXPECT_FALSE(lines.Has("wait read thread exited time out !\n"));

    // Closed: nothing is written, closing again does nothing.
    SendShortCmd({CMD_GET_STATUS});
    DisconnectUsb();
    CloseUsbLink();
    EXPECT_EQ(backend.processor.Written().size(), size_t(kRounds));
}

// Closing must not wait forever for a reader stuck in a reply handler (here:
// the view busy), and that reader must leave the next link alone.
TEST_F(UsbLink, ClosingDoesNotHangOnABusyReader) {
    DebugLines lines;
    linktest::BlockingView busy;
    SetViewNotifier(&busy);
    backend.interfaces = {Processor("/dev/p")};
    ASSERT_EQ(OpenDeviceLink(), 1);
    backend.processor.QueueInput(Reply(REPLY_LEARNED_KEY, {0, 1, 5}));
    ASSERT_TRUE(WaitUntil([&] { return busy.Blocked(); }));
    CloseUsbLink();
    EXPECT_FALSE(g_bConnected());
    EXPECT_TRUE(lines.Has("wait read thread exited time out !\n"));

    ASSERT_EQ(OpenDeviceLink(), 1);
    busy.Release();
    g_CurrentMode() = 0;
    backend.processor.QueueInput(Reply(REPLY_CURRENT_MODE, {2}));
    EXPECT_TRUE(WaitUntil([] { return g_CurrentMode() == 2; }));
    EXPECT_TRUE(g_bConnected());
    EXPECT_FALSE(g_bReadThreadEnd());
    SendShortCmd({CMD_GET_STATUS});
    EXPECT_TRUE(WaitUntil([&] { return !backend.processor.Written().empty(); }));
    CloseUsbLink();
    SetViewNotifier(&guard.view);
}

TEST_F(UsbLink, CloseWithoutLetGoClearsTheStatusBlock) {
    backend.interfaces = {Processor("/dev/p")};
    ASSERT_EQ(OpenDeviceLink(), 1);
    g_StatusBlock()[0] = 1;
    CloseUsbLink();
    EXPECT_EQ(g_StatusBlock()[0], 0);
    EXPECT_TRUE(backend.processor.Written().empty());
}

TEST_F(UsbLink, OtherBackendsNeedNoNoticeMonitor) {
    EXPECT_TRUE(RegisterDeviceArrival());
}
} // namespace

#include "link/HidapiBackend.h"
#include "link/UdevMonitor.h"

#include <unistd.h>

namespace {
TEST(UdevMonitorTest, WatchesTheRightSourceAndStopsCleanly) {
    const bool udevRuns = ::access("/run/udev/control", F_OK) == 0;
    EXPECT_STREQ(UdevMonitor::EventSource(), udevRuns ? "udev" : "kernel");
    for (int round = 0; round < 3; ++round) {
        UdevMonitor monitor;
        if (!monitor.Start()) GTEST_SKIP() << "no netlink device events here";
        EXPECT_TRUE(monitor.IsRunning());
        EXPECT_TRUE(monitor.Start()) << "starting twice keeps the one monitor";
        monitor.Stop();
        EXPECT_FALSE(monitor.IsRunning());
    }
}

TEST(HidapiBackendTest, IsTheDefaultAndRefusesAMissingNode) {
    SetHidBackend(nullptr);
    EXPECT_EQ(&HidBackend(), &DefaultHidBackend());
    for (const HidInterfaceInfo& info : HidBackend().Enumerate()) EXPECT_FALSE(info.path.empty());
    EXPECT_EQ(HidBackend().Open("/dev/no-such-hidraw"), nullptr);
}
} // namespace
