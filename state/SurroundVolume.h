#pragma once

#include "state/ParamImage.h"

#include <array>
#include <cstdint>

// The surround room plan: the room, the listener and the eight speakers of
// the surround layout block, the level correction each speaker's distance
// to the listener gives the output channel that carries the speaker's
// source, the channels' surround volumes and the locate request.
// Coordinates are metres from the room's centre, x to the right, y to the
// front; the layout block keeps them in tenths of a metre.

constexpr int kSpeakerCount = 8; // speakers k = 1..8

// Parameters of an output block that belong to the room plan.
enum SurroundParameter : int {
    OUT_SURROUND_VOLUME = 21, // Percent, 0..100 (CH 6 up to 500)
    OUT_SPEAKER_FILTER = 26,  // six raw floats: g, q, c1, c2, g, q
};
constexpr int kSpeakerFilterValueCount = 6;
// The two fixed coefficients of the level correction record.
constexpr uint32_t kSpeakerFilterC1 = 0x3F7EFF25; //  0.996081
constexpr uint32_t kSpeakerFilterC2 = 0xBFFF7EF1; // -1.99606

// The most a channel's surround volume goes to: 100, for CH 6 500 (the value ranges' table).
int SurroundVolumeMax(int channel);

constexpr int kRoomSizeMin = 1; // metres, both ways
constexpr int kRoomSizeMax = 10;
constexpr int kDefaultRoomSize = 4;

// The locate request asks the processor to identify one source (0..7), or
// none; it is a DSP write that nothing stores.
constexpr int kLocateBlock = 4;
constexpr int kLocateParameter = 38;
constexpr int kLocateNone = 8;

struct RoomPoint {
    double x;
    double y;
};

// Speaker k's source index (into the output source names), short name and
// place in the default layout.
struct SpeakerFacts {
    int source;
    const char* code;
    RoomPoint home;
};
extern const std::array<SpeakerFacts, kSpeakerCount> kSpeakers; // speaker k at k - 1

// The 24 bytes of the default layout block (room 4 x 4 m, listener in the
// centre, the speakers at home; a zero coordinate as a plain 0 byte).
std::array<uint8_t, kSurroundLayoutSize> DefaultSurroundLayout();

// The layout as the editor values hold it. The room size is kept within
// 1..10 m whatever the block says.
int RoomWidth();
int RoomLength();
RoomPoint ListenerPosition();
RoomPoint SpeakerPosition(int speaker);
// A coordinate limited to the room (half the size either side of the
// centre) and rounded to the tenth of a metre the layout block can hold.
double RoomX(double x);
double RoomY(double y);
bool InsideRoom(double x, double y);

double SpeakerDistance(int speaker);
// 3 - 3 x distance dB: 0 dB at one metre.
double DistanceLevelDb(int speaker);
// The six values of parameter 26 for a level.
std::array<uint32_t, kSpeakerFilterValueCount> SpeakerLevelRecord(double levelDb);
// The first output channel (0..7) carrying a source, -1 when none does.
int ChannelCarryingSource(int source);

// Writes the level for the first channel that carries speaker k's source:
// its distance level in the panel area (the 32-byte block is sent) and its
// parameter 26 record. Nothing when no channel carries the source.
void SetSpeakerLevel(double levelDb, int speaker);
// Every speaker's distance level, k = 1..8.
void SendSpeakerLevels();

// Layout changes: the editor values, the layout block, and the levels that
// follow from the change. Positions are limited to the room.
void SetSurroundRoom(int width, int length);
void MoveListener(double x, double y);
void MoveSpeaker(int speaker, double x, double y);
// The listener to the centre: the layout is sent after each coordinate.
void CentreListener();
// Every distance level back to 0 dB (the 32-byte block once per channel)
// and the default layout.
void ResetSurround();

// Source 0..7, or kLocateNone.
void SendLocateRequest(int source);
// Parameter 21 of the channel, limited to its range.
void SetSurroundVolume(int channel, int percent);
