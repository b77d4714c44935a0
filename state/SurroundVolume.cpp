// The room plan's operations, shared by the surround page and the command line.
#include "state/SurroundVolume.h"

#include "link/CommandFrames.h"
#include "link/LinkOutbox.h"
#include "link/StateThread.h"
#include "state/ImageEdits.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"
#include "state/ValueRanges.h"

#include <algorithm>
#include <cmath>
#include <cstring>

const std::array<SpeakerFacts, kSpeakerCount> kSpeakers = {{
    {0, "L", {-1.0, 1.0}},
    {5, "CEN", {0.0, 1.0}},
    {1, "R", {1.0, 1.0}},
    {6, "SBL", {-1.0, -1.0}},
    {4, "SUB", {0.0, -1.0}},
    {7, "SBR", {1.0, -1.0}},
    {2, "SL", {-0.5, 0.0}},
    {3, "SR", {0.5, 0.0}},
}};

namespace {
constexpr int kLevelBlockSize = 4 * kOutputChannelCount;
constexpr int kListenerPoint = 0; // index into the layout's points

bool IsSpeaker(int speaker) {
    return speaker >= 1 && speaker <= kSpeakerCount;
}

int PointIndex(int speaker) {
    return 2 * speaker; // speaker k's x; the listener is point 0
}

// Sends a range of the panel area as it is.
void SendPanelRange(int offset, int length) {
    SendDeviceCmd(CMD_WRITE_PANEL, static_cast<uint8_t>(offset >> 8),
                  static_cast<uint8_t>(offset & 0xFF), static_cast<uint8_t>(length),
                  g_PanelImage() + offset);
}

// Changes of the image and the editor values hold the state lock (a job
// thread may be copying the image).
void StoreLevel(int channel, double levelDb) {
    fx::StateGuard lock(fx::StateLock());
    const int offset = kSurroundLevelsOffset + 4 * channel;
    uint8_t bytes[4];
    WriteBigEndian32(bytes, FloatBits(static_cast<float>(levelDb)));
    fx::NoteImageChange(offset, g_PanelImage() + offset, bytes, 4);
    std::memcpy(g_PanelImage() + offset, bytes, 4);
    SendPanelRange(kSurroundLevelsOffset, kLevelBlockSize);
}

double LimitTo(double value, int size) {
    const double half = size / 2.0;
    return DecodeSignedTenths(EncodeSignedTenths(std::clamp(value, -half, half)));
}

void StorePoint(int index, double x, double y) {
    fx::StateGuard lock(fx::StateLock());
    g_SurroundLayout().points[index] = static_cast<float>(RoomX(x));
    g_SurroundLayout().points[index + 1] = static_cast<float>(RoomY(y));
}
} // namespace

int SurroundVolumeMax(int channel) {
    const auto range = fx::DspParamRange(OutputBlock(channel), OUT_SURROUND_VOLUME);
    return range ? int(range->high) : 0;
}

std::array<uint8_t, kSurroundLayoutSize> DefaultSurroundLayout() {
    std::array<uint8_t, kSurroundLayoutSize> layout{};
    layout[0] = kDefaultRoomSize;
    layout[1] = kDefaultRoomSize;
    for (int k = 1; k <= kSpeakerCount; ++k) {
        const RoomPoint home = kSpeakers[k - 1].home;
        const double coordinates[2] = {home.x, home.y};
        for (int i = 0; i < 2; ++i)
            layout[2 + PointIndex(k) + i] =
                coordinates[i] == 0.0 ? 0 : EncodeSignedTenths(coordinates[i]);
    }
    return layout;
}

int RoomWidth() {
    return std::clamp(g_SurroundLayout().byte1222, kRoomSizeMin, kRoomSizeMax);
}

int RoomLength() {
    return std::clamp(g_SurroundLayout().byte1223, kRoomSizeMin, kRoomSizeMax);
}

RoomPoint ListenerPosition() {
    return {g_SurroundLayout().points[kListenerPoint],
            g_SurroundLayout().points[kListenerPoint + 1]};
}

RoomPoint SpeakerPosition(int speaker) {
    if (!IsSpeaker(speaker)) return {0.0, 0.0};
    const int i = PointIndex(speaker);
    return {g_SurroundLayout().points[i], g_SurroundLayout().points[i + 1]};
}

double RoomX(double x) {
    return LimitTo(x, RoomWidth());
}

double RoomY(double y) {
    return LimitTo(y, RoomLength());
}

bool InsideRoom(double x, double y) {
    return std::abs(x) <= RoomWidth() / 2.0 && std::abs(y) <= RoomLength() / 2.0;
}

double SpeakerDistance(int speaker) {
    const RoomPoint listener = ListenerPosition();
    const RoomPoint at = SpeakerPosition(speaker);
    return std::hypot(listener.x - at.x, listener.y - at.y);
}

double DistanceLevelDb(int speaker) {
    return 3.0 - 3.0 * SpeakerDistance(speaker);
}

std::array<uint32_t, kSpeakerFilterValueCount> SpeakerLevelRecord(double levelDb) {
    const double g = std::pow(10.0, levelDb / 20.0);
    const double q = std::pow(10.0, (0.0022594517 * levelDb * levelDb + 0.799902 * levelDb) / 20.0);
    const uint32_t gBits = FloatBits(static_cast<float>(g));
    const uint32_t qBits = FloatBits(static_cast<float>(q));
    return {gBits, qBits, kSpeakerFilterC1, kSpeakerFilterC2, gBits, qBits};
}

int ChannelCarryingSource(int source) {
    for (int channel = 0; channel < kOutputChannelCount; ++channel)
        if (int(GetDspParam(OutputBlock(channel), OUT_SOURCE)) == source) return channel;
    return -1;
}

void SetSpeakerLevel(double levelDb, int speaker) {
    const fx::ImageEditScope edit;
    if (!IsSpeaker(speaker)) return;
    const int channel = ChannelCarryingSource(kSpeakers[speaker - 1].source);
    if (channel < 0) return;
    StoreLevel(channel, levelDb);
    const auto record = SpeakerLevelRecord(levelDb);
    WriteDspParam(OutputBlock(channel), OUT_SPEAKER_FILTER, record.data(), int(record.size()));
}

void SendSpeakerLevels() {
    const fx::ImageEditScope edit;
    for (int k = 1; k <= kSpeakerCount; ++k) SetSpeakerLevel(DistanceLevelDb(k), k);
}

void SetSurroundRoom(int width, int length) {
    fx::StateGuard lock(fx::StateLock());
    g_SurroundLayout().byte1222 = std::clamp(width, kRoomSizeMin, kRoomSizeMax);
    g_SurroundLayout().byte1223 = std::clamp(length, kRoomSizeMin, kRoomSizeMax);
    SendSurroundLayout();
}

// The listener's buttons send the layout and every speaker's level block:
// each of them arrives, as the processor takes them one after the other.
void MoveListener(double x, double y) {
    const fx::ImageEditScope edit;
    const fx::CoalescingOff whole;
    StorePoint(kListenerPoint, x, y);
    SendSurroundLayout();
    SendSpeakerLevels();
}

void MoveSpeaker(int speaker, double x, double y) {
    const fx::ImageEditScope edit;
    if (!IsSpeaker(speaker)) return;
    StorePoint(PointIndex(speaker), x, y);
    SendSurroundLayout();
    SetSpeakerLevel(DistanceLevelDb(speaker), speaker);
}

void CentreListener() {
    const fx::ImageEditScope edit;
    const fx::CoalescingOff whole;
    fx::StateGuard lock(fx::StateLock());
    g_SurroundLayout().points[kListenerPoint] = 0.0f;
    SendSurroundLayout();
    g_SurroundLayout().points[kListenerPoint + 1] = 0.0f;
    SendSurroundLayout();
    SendSpeakerLevels();
}

void ResetSurround() {
    const fx::ImageEditScope edit;
    const fx::CoalescingOff whole;
    const auto neutral = SpeakerLevelRecord(0.0);
    for (int channel = 0; channel < kOutputChannelCount; ++channel) {
        StoreLevel(channel, 0.0);
        WriteDspParam(OutputBlock(channel), OUT_SPEAKER_FILTER, neutral.data(),
                      int(neutral.size()));
    }
    // The default bytes go out as they are: encoded again, a zero coordinate
    // would become 0x80 and the processor would hold other bytes than a
    // factory image.
    const auto layout = DefaultSurroundLayout();
    fx::StateGuard lock(fx::StateLock());
    fx::NoteImageChange(kSurroundLayoutOffset, g_PanelImage() + kSurroundLayoutOffset,
                        layout.data(), int(layout.size()));
    std::memcpy(g_PanelImage() + kSurroundLayoutOffset, layout.data(), layout.size());
    DecodeSurroundLayout();
    SendPanelRange(kSurroundLayoutOffset, kSurroundLayoutSize);
}

void SendLocateRequest(int source) {
    const uint32_t value = static_cast<uint32_t>(std::clamp(source, 0, kLocateNone));
    SendDspWrite(kLocateBlock, kLocateParameter, &value, 1);
}

void SetSurroundVolume(int channel, int percent) {
    if (channel < 0 || channel >= kOutputChannelCount) return;
    SetDspParam(OutputBlock(channel), OUT_SURROUND_VOLUME,
                std::clamp(percent, 0, SurroundVolumeMax(channel)));
}
