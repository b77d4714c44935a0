// The network's markers "$HB$" and "ISCONNECTED" stand between frames: the
// same bytes inside a reply frame that reaches the editor in two receives are
// the frame's data.
#include "SimTransportFixture.h"

#include "link/ViewNotifier.h"

#include <algorithm>

namespace {

constexpr int kFirstChunkReply = 6; // of a read: identity (4), mode, then the chunks

struct MarkerCase {
    const char* name;
    const char* marker;
    int chunk; // the marker opens this chunk's data
};

class MarkerInFrameTest : public SimTransportFixture,
                          public ::testing::WithParamInterface<MarkerCase> {};

TEST_P(MarkerInFrameTest, IsDataOfTheFrameItArrivesIn) {
    const MarkerCase& c = GetParam();
    Open(Transport::Network);
    SimProcessor::Image memory = SimProcessor::DefaultImage();
    const std::string marker = c.marker;
    const int offset = ImageChunkAddress(c.chunk);
    std::copy(marker.begin(), marker.end(), memory.begin() + offset);
    sim.SetMemory(memory);
    SimFaults faults;
    // The second piece starts with the chunk's data, well after the first.
    faults.splitReplyNumber = ReplyFromNow(kFirstChunkReply + c.chunk);
    faults.pieceGapMs = 40;
    sim.SetFaults(faults);

    ReadAll();

    EXPECT_TRUE(LastReadResult().Completed()) << LastReadResult().missing;
    EXPECT_TRUE(std::equal(memory.begin(), memory.end(), g_ParamImage()))
        << "the image holds the marker's bytes";
    const std::vector<int> messages = view.Messages();
    EXPECT_EQ(0, std::count(messages.begin(), messages.end(), WM_HOST_BUSY));
    const std::vector<uint8_t> request = {CMD_READ_IMAGE, static_cast<uint8_t>(offset >> 8),
                                          static_cast<uint8_t>(offset & 0xFF),
                                          static_cast<uint8_t>(ImageChunkLength(c.chunk))};
    EXPECT_EQ(1u, sim.CountCommands(request)) << "the chunk came whole the first time";
    EXPECT_TRUE(g_bConnected());
}

INSTANTIATE_TEST_SUITE_P(Markers, MarkerInFrameTest,
                         ::testing::Values(MarkerCase{"HostBusyAtOffset0", "ISCONNECTED", 0},
                                           MarkerCase{"HeartbeatAtOffset0", "$HB$", 0},
                                           MarkerCase{"HeartbeatInChunk30", "$HB$", 30}),
                         [](const ::testing::TestParamInfo<MarkerCase>& info) {
                             return info.param.name;
                         });

} // namespace
