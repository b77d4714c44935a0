// fxtuned with --usb: a processor plugged in on USB is taken by itself,
// answers the API like a networked one, and comes back after a re-plug.
#include "service/DaemonVenue.h"
#include "sim/SimProcessor.h"
#include "sim/VirtualHidBackend.h"

#include "link/HidDevice.h"
#include "link/UsbLink.h"
#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace {

bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

fx::ChangeResult SetMic(fx::DaemonVenue& venue, const std::string& name, int value) {
    std::promise<fx::ChangeResult> result;
    venue.SetLevel(name, fx::MasterLevel::Mic, value, std::nullopt, fx::ChangeOrigin::Api,
                   [&](fx::ChangeResult r) { result.set_value(std::move(r)); });
    return result.get_future().get();
}

TEST(DaemonUsbTest, AProcessorPluggedInIsTakenAndComesBackAfterAReplug) {
    SimProcessor sim;
    VirtualHidBackend usb(sim);
    usb.SetForeignDeviceCount(2); // other HID devices are left alone
    SetHidBackend(&usb);
    {
        fx::DaemonVenue venue(2);
        venue.Start();
        venue.WatchUsb({{VirtualHidBackend::kProcessorPath, "hall"}}, 20);
        ASSERT_TRUE(WaitUntil([&] {
            const auto state = venue.State("hall");
            return state && state->connected;
        }));
        EXPECT_EQ(1u, venue.States().size()) << "only the processor, not the foreign devices";
        EXPECT_EQ(std::string("usb:") + VirtualHidBackend::kProcessorPath,
                  venue.State("hall")->address);
        EXPECT_TRUE(SetMic(venue, "hall", 42).ok());
        const auto memory = sim.Memory();
        EXPECT_EQ(42, PercentFromStored(ReadBigEndian32(&memory[DspRecordValueOffset(1, 14)])));

        usb.Unplug();
        ASSERT_TRUE(WaitUntil([&] { return !venue.State("hall")->connected; }));
        EXPECT_EQ(fx::ChangeResult::Status::NotConnected, SetMic(venue, "hall", 43).status);
        usb.Plug();
        ASSERT_TRUE(WaitUntil([&] { return venue.State("hall")->connected; }));
        EXPECT_TRUE(SetMic(venue, "hall", 44).ok());
        EXPECT_EQ(1u, venue.States().size()) << "the same processor, not a second one";
        venue.Stop();
    }
    SetHidBackend(nullptr);
}

TEST(DaemonUsbTest, AProcessorIsNamedByItsPortPath) {
    EXPECT_EQ("usb-hidraw-virtual0", fx::UsbProcessorName("/dev/hidraw-virtual0"));
}

} // namespace
