// The store is an object of its own: the process's store is the one the link
// works with; another store (a copy for a comparison, a test) takes replies
// into itself, with the editor values they feed, and leaves the link's flags
// and the process's memory alone.
#include "state/ParamStore.h"

#include "state/DeviceMirrors.h"
#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(ParamStoreTest, TheProcessStoreIsTheOneTheLinkWorksWith) {
    EXPECT_EQ(&fx::Flags(), &fx::Store().Link());
    EXPECT_EQ(&fx::DeviceReplies(), static_cast<fx::IReplySink*>(&fx::Store()));
    EXPECT_EQ(&g_ParamImage(), &fx::Store().Image());
    EXPECT_EQ(&g_Identity(), &fx::Store().Identity());

    fx::ParamStore other;
    EXPECT_NE(&fx::Flags(), &other.Link());
    EXPECT_STREQ("ELM19", other.Identity().moduleName);
    EXPECT_EQ(17, other.Identity().commandSetVersion);
}

TEST(ParamStoreTest, AnotherStoreTakesRepliesIntoItself) {
    const auto processPanel = std::to_array(g_PanelImage());
    const auto processKeys = std::to_array(g_RemoteKeyBlock());
    fx::ParamStore other;

    const uint8_t band[] = {0x01, 0xF4, 0x00, 0x64, 0x05, 0x83, 0x01};
    other.PanelChunkReceived(7, 7, band, 5); // two bytes did not arrive
    EXPECT_EQ(0, std::memcmp(other.Panel() + 7, band, 5));
    EXPECT_EQ(0, other.Panel()[12]);
    const uint8_t clear[] = {0xFF, 0xFF};
    other.PanelChunkReceived(0, 2, clear, 2); // FF FF clears every band record
    EXPECT_EQ(0, other.Panel()[7]);

    other.LearnedKeyReceived(0x11, 5, 0x42);
    other.LearnedKeyReceived(0x12, kRemoteKeyBlockSize, 0x43); // no such slot
    EXPECT_EQ(0x12, other.RemoteKeyBlock()[0]);
    EXPECT_EQ(0x42, other.RemoteKeyBlock()[5]);

    // The editor values it draws from replies are its own too.
    const int processPitch = g_MusicPitch();
    const float processListenerX = g_SurroundLayout().points[0];
    std::array<uint8_t, kStatusBlockSize> status{};
    status[7] = 0x73; // pitch +2
    other.StatusReceived(status);
    EXPECT_EQ(2, other.Values().musicPitch);
    const auto processStatus = std::to_array(g_StatusBlock());
    other.LinkClosed(); // what only an open link reports goes: its own status
    EXPECT_EQ(0, other.StatusBlock()[7]);
    EXPECT_EQ(processStatus, std::to_array(g_StatusBlock()));
    const uint8_t layout[] = {5, 6, 0x0C}; // listener x 1.2 m
    other.PanelChunkReceived(kSurroundLayoutOffset, 24, layout, 3);
    EXPECT_EQ(5, other.Values().surroundLayout.byte1222);
    EXPECT_FLOAT_EQ(1.2f, other.Values().surroundLayout.points[0]);
    EXPECT_EQ(processPitch, g_MusicPitch());
    EXPECT_EQ(processListenerX, g_SurroundLayout().points[0]);

    other.MachineSettingsReceived({1, 2, 3});
    EXPECT_EQ(3, other.MachineSettingsDevice()[2]);
    EXPECT_EQ(3, other.MachineSettingsWork()[2]);

    EXPECT_EQ(processPanel, std::to_array(g_PanelImage()));
    EXPECT_EQ(processKeys, std::to_array(g_RemoteKeyBlock()));
}

} // namespace
