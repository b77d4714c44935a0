#pragma once

#include "link/ImageChunks.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

// The mirror of the processor's 3350-byte parameter memory and the operations
// through which pages change it (each updates the mirror and posts the change
// to the link's outbox at once). The image, its working copy and the editor
// values change only on the state thread (link/StateThread.h), under the
// state lock.

constexpr int kPanelSize = 1254;    // panel area 0..1253
constexpr int kDspAreaStart = 1254; // DSP records 1254..3349
constexpr int kDspRecordCount = 232;
constexpr int kDspTableSize = 230;
constexpr int kEqBandRecordSize = 7;
constexpr int kSurroundLevelsOffset = 1190;
constexpr int kSurroundLayoutOffset = 1222;
constexpr int kSurroundLayoutSize = 24;
constexpr int kPanelLevelOffset = 1246;

// The store's parameter image and its panel working copy (state/ParamStore.h).
uint8_t (&g_ParamImage())[kImageSize];
uint8_t (&g_PanelImage())[kPanelSize];

enum class DspValueKind : int {
    None = 0,
    Percent = 1,
    Raw = 2,
    LowByte = 3,
    Samples = 4,
    TenThousandths = 5,
};

// Which editor variable a table entry has: one of the store's value arrays
// (state/ParamStore.h) and the two indices into it.
enum class EditorVarArray : int { None, DspInt, DspFloat, OutputInt, OutputFloat, MusicPitch };
struct EditorVarRef {
    EditorVarArray array = EditorVarArray::None;
    int first = 0;
    int second = 0;
};

// One entry of DspParamTable: the DSP parameter, its kind, its editor
// variable and the image offset of its first value (-1 = none).
struct DspParamEntry {
    int block;
    int parameter;
    DspValueKind kind;
    EditorVarRef var;
    int imageOffset;
    int valueCount; // values of the record in the image

    // The editor variable in the process's store when it is an integer or a
    // float, nullptr otherwise.
    int* intVar() const;
    float* floatVar() const;
};

// Percent, LowByte and TenThousandths entries have an integer editor
// variable; Samples (milliseconds) and Raw entries a float one; None entries
// none (block 4 parameter 21 points at the music pitch, which the table walk
// and SetDspParam leave alone).
extern const std::array<DspParamEntry, kDspTableSize> DspParamTable;
// First entry with equal block and parameter, nullptr when none.
const DspParamEntry* FindDspParam(int block, int parameter);

// Editor value of a table entry (0 when it has none), as a double.
double GetDspParam(int block, int parameter);

// Image offset of the first value of a DSP record, -1 when the image holds no
// such record. Unlike the table this also finds block 4 parameters 16, 17 and 21.
int DspRecordValueOffset(int block, int parameter);

// One record of the DSP record chain: the offset of its head, and its head.
struct DspRecordView {
    int offset;
    int block;
    int parameter;
    int count;
};
// Walks the DSP record chain of a whole image from 1254, visiting each record
// that lies wholly inside it, until visit returns false or the next record
// would run past the end. Returns the offset where the walk stopped: the
// image size for an intact chain (visit never said stop).
int WalkDspRecords(const uint8_t* image, const std::function<bool(const DspRecordView&)>& visit);

// Editor variables, held by the store (state/ParamStore.h). Blocks 1..4 and 14 are indexed
// [block][parameter]; the output blocks 5..12 are indexed [parameter][channel 0..7], with the
// recording output (block 13) as channel 8 where its parameter matches a channel parameter (13/5 =
// 12, 13/6..9 = 17..20, 13/10 = 24, 13/11 = 25). The other block 13 parameter (12, the recording
// level) lives at g_DspIntVar[13][12].
constexpr int kDspVarBlocks = 15;
constexpr int kDspVarParameters = 72;
constexpr int kOutputVarParameters = 27;
constexpr int kOutputVarChannels = 9; // channels 0..7 and the recording output
constexpr int kRecordVarIndex = 8;
int (&g_DspIntVar())[kDspVarBlocks][kDspVarParameters];
float (&g_DspFloatVar())[kDspVarBlocks][kDspVarParameters];
int (&g_OutputIntVar())[kOutputVarParameters][kOutputVarChannels];
float (&g_OutputFloatVar())[kOutputVarParameters][kOutputVarChannels];
// The music pitch -5..+5, the editor value of block 4 parameter 21.
int& g_MusicPitch();

// The default parameter memory, as a processor fresh from the factory holds it.
std::array<uint8_t, kImageSize> DefaultImageBytes();
// Makes the default memory the store's image and refreshes from it.
void BuildDefaultImage();
void RefreshFromImage();
// The editor values drawn from one DSP record (its table variable and the
// derived values it feeds), after its bytes changed in the image.
void RefreshRecordValues(int block, int parameter);
// The editor values drawn from the panel blocks (surround layout, panel level).
void RefreshPanelValues();

// Integer kinds take the integer part of value; Samples take milliseconds.
void SetDspParam(int block, int parameter, double value);
// values are bit patterns of count 4-byte values.
void WriteDspParam(int block, int parameter, const uint32_t* values, int count);

// Encodings.
uint32_t PercentToStored(int value);
int PercentFromStored(uint32_t stored);
uint32_t MsToSamples(double ms);
double SamplesToMs(uint32_t samples);
uint8_t EncodeSignedTenths(double value);
double DecodeSignedTenths(uint8_t byte);
uint16_t EncodeGainWord(double gainDb);
uint16_t EncodeQWord(double q);
double DecodeGainWord(uint16_t word);
double DecodeQWord(uint16_t word);
uint32_t TenThousandthsToStored(int value);
int TenThousandthsFromStored(uint32_t stored);
uint32_t ReadBigEndian32(const uint8_t* bytes);
void WriteBigEndian32(uint8_t* bytes, uint32_t value);
uint32_t FloatBits(float value);
float FloatFromBits(uint32_t bits);

// EQ band records in the panel area. -1 for a set outside 0..15.
int EqBandOffset(int set, int band);
// Record slots of a set in the panel area (15, 7, 11, 12 or 5; 0 when invalid).
int EqSetSlots(int set);
// DSP block and first coefficient parameter of a set.
int EqSetBlock(int set);
int EqSetFirstParameter(int set);

struct EqBandRecord {
    double gain;
    double frequency;
    double q;
    int type;
};
EqBandRecord DecodeEqBandRecord(const uint8_t* record);
void EncodeEqBandRecord(const EqBandRecord& band, uint8_t* record);

// A band as its record holds it (whole hertz, 0.1 dB, thousandths of Q):
// what is sent, stored and shown after an edit.
EqBandRecord QuantiseEqBand(const EqBandRecord& band);
// Sends the coefficients of the quantised band and its record; returns the
// band as written (the set's record in the panel area now holds it).
EqBandRecord SetEqBand(int set, int band, int type, double frequency, double gain, double q);
// One edit of a band and the sections that follow it (the compound crossover
// band): each goes out as SetEqBand sends it; returns the bands as written.
struct EqBandWrite {
    int band;
    int type;
    double frequency;
    double gain;
    double q;
};
std::vector<EqBandRecord> SetEqBands(int set, const std::vector<EqBandWrite>& bands);
void StoreEqBand(int set, int band, double gain, double frequency, double q, int type);
bool ResendEqSet(int set);
// Set number of the last "Copy EQ", -1 when nothing was copied.
extern int g_EqClipboardSet;
// Copies band records from set src to set dst in the panel area and resends
// dst. False (with a debug line) when a set is outside 0..15.
bool CopyEqSet(int src, int dst);
void ResetEqSet(int set);

// Surround layout editor values (block 1222..1245).
struct SurroundLayout {
    int byte1222;
    int byte1223;
    float points[18]; // 1224..1241 as signed tenths
};
SurroundLayout& g_SurroundLayout();
void DecodeSurroundLayout();
// The layout block of a panel area as editor values.
SurroundLayout DecodeSurroundLayout(const uint8_t* panel);
void SendSurroundLayout();

// Derived editor values filled by RefreshFromImage.
struct CompressorValues {
    float thresholdDb;
    double ratio;
    double attackMs;
    double releaseMs;
};
CompressorValues (&g_Compressor())[9]; // channels 0..7 and the recording output (8)
bool (&g_WholeChannelDelay())[8];
CompressorValues& g_AutoLevel();
float& g_PanelLevel();
double& g_ShiftFrequencyA(); // block 1 parameter 38
double& g_ShiftFrequencyB(); // block 1 parameter 65
