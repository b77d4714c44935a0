#include "link/CommandFrames.h"
#include "link/DebugLog.h"
#include "link/LinkState.h"
#include "link/RxAssembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
using Bytes = std::vector<uint8_t>;

Bytes Frame(const Bytes& record) {
    Bytes out(record.size() + 3);
    BuildNetFrame(record.data(), static_cast<int>(record.size()), out.data());
    return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes CorruptChecksum(Bytes frame) {
    frame.back() ^= 0x5A;
    return frame;
}

// An assembler whose good records and multi-frame hook calls are recorded.
struct RecordingAssembler {
    RecordingAssembler() {
        rx.SetReplySink([this](const uint8_t* r, int n) { records.emplace_back(r, r + n); });
        rx.SetMultiFrameHook([this] { ++hookCalls; });
        rx.SetHeartbeatHook([this] { ++heartbeats; });
    }
    void Feed(const Bytes& read) { rx.Append(read.data(), static_cast<int>(read.size())); }

    RxAssembler rx;
    std::vector<Bytes> records;
    int hookCalls = 0;
    int heartbeats = 0;
};

const Bytes kReplyA = {0x00, 7, 2};
const Bytes kReplyB = {0x00, 9, 0, 1, 14};
const Bytes kReplyC = {0x00, 127, 17};
const Bytes kHeartbeat = {'$', 'H', 'B', '$'};

// The first `count` bytes of a frame, and the rest.
Bytes Head(const Bytes& frame, size_t count) {
    return Bytes(frame.begin(), frame.begin() + count);
}
Bytes Tail(const Bytes& frame, size_t from) {
    return Bytes(frame.begin() + from, frame.end());
}

struct RxCase {
    const char* name;
    std::vector<Bytes> reads;
    std::vector<Bytes> dispatched;
    int leftInBuffer;
    bool hookCalled;
    int heartbeats = 0;
};

TEST(FramesRx, AssemblyRules) {
    const RxCase cases[] = {
        {"one frame", {Frame(kReplyA)}, {kReplyA}, 0, false},
        {"two frames in one read, in order",
         {Join({Frame(kReplyA), Frame(kReplyB)})},
         {kReplyA, kReplyB},
         0,
         true},
        {"three frames in one read",
         {Join({Frame(kReplyC), Frame(kReplyA), Frame(kReplyB)})},
         {kReplyC, kReplyA, kReplyB},
         0,
         true},
        {"bad checksum drops one frame, the next still counts",
         {Join({CorruptChecksum(Frame(kReplyA)), Frame(kReplyB)})},
         {kReplyB},
         0,
         true},
        {"frame split over two reads",
         {Head(Frame(kReplyB), 3), Tail(Frame(kReplyB), 3)},
         {kReplyB},
         0,
         false},
        {"split after the start byte only",
         {Bytes{0x55}, Tail(Frame(kReplyA), 1)},
         {kReplyA},
         0,
         false},
        {"a frame and the head of the next",
         {Join({Frame(kReplyA), Head(Frame(kReplyB), 3)}), Tail(Frame(kReplyB), 3)},
         {kReplyA, kReplyB},
         0,
         true},
        {"noise before a frame is skipped",
         {Join({Bytes{0x00, 0x24, 0x01}, Frame(kReplyA)}), Frame(kReplyB)},
         {kReplyA, kReplyB},
         0,
         false},
        {"noise after a frame is discarded",
         {Join({Frame(kReplyA), Bytes{0x01, 0x02}})},
         {kReplyA},
         0,
         true},
        {"heartbeat glued behind a frame is answered and blocks nothing",
         {Join({Frame(kReplyA), kHeartbeat, Frame(kReplyB)}), Frame(kReplyC)},
         {kReplyA, kReplyB, kReplyC},
         0,
         true,
         1},
        {"heartbeat cut between two reads",
         {Join({Frame(kReplyA), Head(kHeartbeat, 2)}), Join({Tail(kHeartbeat, 2), Frame(kReplyB)})},
         {kReplyA, kReplyB},
         0,
         true,
         1},
        {"noise between two frames of one read",
         {Join({Frame(kReplyA), Bytes{0x13, 0x37}, Frame(kReplyB)})},
         {kReplyA, kReplyB},
         0,
         true},
        {"damaged frame glued to a good one costs only itself",
         {Join({Head(Frame(kReplyB), 4), Frame(kReplyA)}), Frame(kReplyC)},
         {kReplyA, kReplyC},
         0,
         true},
        {"damaged frame reaching into a good one split over two reads",
         {Join({Head(Frame(kReplyB), 5), Head(Frame(kReplyA), 2)}), Tail(Frame(kReplyA), 2)},
         {kReplyA},
         0,
         true},
        {"bad checksum whose frame holds a start byte searches on from there",
         {Join({CorruptChecksum(Frame({0x00, 48, 0x55, 0x03, 0x00, 7, 2})), Frame(kReplyB)})},
         {kReplyB},
         0,
         true},
    };
    for (const RxCase& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingAssembler a;
        for (const Bytes& read : c.reads) a.Feed(read);
        EXPECT_EQ(a.records, c.dispatched);
        EXPECT_EQ(a.rx.Fill(), c.leftInBuffer);
        EXPECT_EQ(a.hookCalls > 0, c.hookCalled);
        EXPECT_EQ(a.heartbeats, c.heartbeats);
    }
}

TEST(FramesRx, SkippedBytesAreCountedInTheDebugLog) {
    std::vector<std::string> lines;
    SetDebugLogSink([&](const std::string& line) { lines.push_back(line); });
    RecordingAssembler a;
    a.Feed(Join({Bytes{0x01, 0x02, 0x03}, Frame(kReplyA)}));
    SetDebugLogSink(nullptr);
    EXPECT_EQ(a.records, std::vector<Bytes>{kReplyA});
    EXPECT_EQ(lines, std::vector<std::string>{"ProcessRxBuf skipped 3 bytes\n"});
}

// A full read behind a frame's head neither empties the buffer nor runs past
// it: the read goes in piece by piece and every frame counts.
TEST(FramesRx, AReadThatDoesNotFitGoesInPieceByPiece) {
    Bytes stream;
    std::vector<Bytes> records;
    for (int i = 0; i < 40; ++i) {
        records.push_back({0x00, 48, 0, static_cast<uint8_t>(i), 3, 1, 2, 3});
        const Bytes frame = Frame(records.back());
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    RecordingAssembler a;
    a.Feed(Head(stream, 5)); // a frame's head, then full reads
    for (size_t at = 5; at < stream.size(); at += kRxBufferSize)
        a.Feed(
            Bytes(stream.begin() + static_cast<long>(at),
                  stream.begin() + static_cast<long>(std::min(stream.size(), at + kRxBufferSize))));
    EXPECT_EQ(a.records, records);
    EXPECT_EQ(a.rx.Fill(), 0);
}

TEST(FramesRx, LongestFrameFitsTheBuffer) {
    Bytes record(254, 0x42);
    record[1] = 48;
    RecordingAssembler a;
    const Bytes frame = Frame(record);
    ASSERT_EQ(frame.size(), 257u);
    a.Feed(Bytes(frame.begin(), frame.begin() + 100));
    a.Feed(Bytes(frame.begin() + 100, frame.end()));
    ASSERT_EQ(a.records.size(), 1u);
    EXPECT_EQ(a.records[0], record);
}

TEST(FramesRx, GoodFrameClearsAwaitReplyAndBadOneLogs) {
    std::vector<std::string> lines;
    SetDebugLogSink([&](const std::string& line) { lines.push_back(line); });
    RecordingAssembler a;

    g_bAwaitReply() = true;
    a.Feed(CorruptChecksum(Frame(kReplyA)));
    EXPECT_TRUE(g_bAwaitReply());
    // The rest of the bad frame is searched for a start byte and skipped.
    EXPECT_EQ(lines, (std::vector<std::string>{"ProcessRxBuf Checksum error\n ",
                                               "ProcessRxBuf skipped 5 bytes\n"}));

    a.Feed(Frame(kReplyA));
    EXPECT_FALSE(g_bAwaitReply());
    SetDebugLogSink(nullptr);
}

TEST(FramesRx, ZeroLengthFramesAreDroppedWithoutReadingOutside) {
    RecordingAssembler a;
    // Length byte 0 can never check out; length 1 is an empty record.
    a.Feed(Bytes{0x55, 0x00});
    EXPECT_TRUE(a.records.empty());
    a.Feed(Bytes{0x55, 0x01, 0xFE});
    ASSERT_EQ(a.records.size(), 1u);
    EXPECT_TRUE(a.records[0].empty());
}
} // namespace
