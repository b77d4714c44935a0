#pragma once

#include "state/ParamImage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Every parameter of the parameter image by name, the way the pages call it,
// in Chinese and English, with its value as the pages show it. The command
// line and the editor's comparison of presets both speak through it.
namespace fx {

// The editor's language index: 0 Chinese, 1 English.
constexpr int kLanguageChinese = 0;
constexpr int kLanguageEnglish = 1;

// How an item's bytes are shown.
enum class ParamFormat {
    Percent,        // Percent kind: "65 %"
    Number,         // LowByte or TenThousandths kind shown as a plain number
    Milliseconds,   // sample count shown in ms
    OnWhenSet,      // LowByte switch, nonzero = on
    OnWhenClear,    // LowByte switch, 0 = on (the processor's "off" flags)
    MutedWhenZero,  // Percent on-switch: 0 = muted
    Phase,          // Percent: negative = 180 degrees
    EchoType,       // LowByte: 0 mono, 1 stereo
    MusicSource,    // LowByte: source index 0..13
    OutputSource,   // LowByte: source index 0..7
    Pitch,          // last byte minus 5
    ReverbTime,     // Percent shown as 40 + 49.6 x value ms
    Float,          // a float with a unit
    ShiftFrequency, // phase step of the frequency shift, shown in Hz
    LinearGain,     // a linear gain factor shown in dB
    Threshold,      // compressor x0, dB
    Ratio,          // compressor x2 = 1 - 1 / ratio
    TimeConstant,   // compressor x5 / x6 = 1 - exp(-1 / (ms x 48))
    DelayMode,      // two floats: 1, 0 whole channel; 1, 1 high band
    DistanceFilter, // six floats of a distance level; the first is the level's gain
    FloatList,      // floats without further meaning to the editor
    EqBand,         // a 7-byte band record
    Point,          // two signed tenths: x, y in metres
    Metres,         // one byte, whole metres
    Bytes,          // reserved bytes, shown in hexadecimal
};

// One named parameter: a run of image bytes with its names and how it is shown.
struct ParamItem {
    int offset = 0; // first byte in the image
    int size = 0;   // bytes it covers
    std::string names[2];
    ParamFormat format = ParamFormat::Bytes;
    const char* unit = ""; // for Float
    // The DSP record and the value in it, or the EQ set and band slot; -1 when not one.
    int block = -1, parameter = -1, valueIndex = 0;
    int eqSet = -1, eqBand = -1;

    const std::string& Name(int language) const {
        return names[language == kLanguageChinese ? 0 : 1];
    }
};

// Every item of the image in image order: the band slots of the sixteen EQ
// sets, the surround blocks and the reserved panel bytes, then every value
// of every DSP record. Built once from the record directory and the EQ set
// layout.
const std::vector<ParamItem>& ParamItems();
// The item that covers an image byte; nullptr for a DSP record head.
const ParamItem* FindParamItemAt(int offset);
const ParamItem* FindDspParamItem(int block, int parameter, int valueIndex = 0);
const ParamItem* FindEqBandItem(int set, int band);
// The item a person names as diff and dump print it, in either language
// ("CH 3 delay", "ch3 Delay", "通道3延时"), compared without case, spaces or
// punctuation; nullptr when no item has the name (or, folded, more than one).
const ParamItem* FindParamItemByName(const std::string& name);

// An item's value as shown: the text with its unit, and for scripts the
// number, its unit, and the band for a band record.
struct ParamValue {
    std::string text;
    std::optional<double> number;
    std::string unit;
    std::optional<EqBandRecord> band;
};
ParamValue ReadParamValue(const ParamItem& item, const uint8_t* image, int language);

// An EQ set by the name of its owner: "Mic A EQ" / "话筒A均衡", "CH 3 EQ" / "通道3均衡".
std::string EqSetName(int set, int language);
// An EQ set as a person types it: its number 0..15, or its owner's name as
// EqSetName prints it in either language, with or without "EQ", ignoring
// case, spaces and punctuation ("ch1", "CH 1 EQ", "mic-a", "通道1"; "rec" for
// the recording output). -1 when the text names no set.
int EqSetFromText(const std::string& text);
// What a set may be typed as, for messages and the usage text.
extern const char* const kEqSetChoices;

// The type of an EQ band in words ("PEQ" / "参量"; "OFF" / "关闭"; other codes
// as "type 18" / "类型18").
std::string EqTypeText(int type, int language);
// A band type a page offers, as a person types it: 0..5 or its name in
// either language ("off", "PEQ", "lp", "高通"); -1 otherwise. The crossover
// section types are no band type of their own.
int EqTypeFromText(const std::string& text);
// "PEQ 1000 Hz +3.0 dB Q 1.41"
std::string EqBandText(const EqBandRecord& band, int language);
// What changed from one band to the other, in the words of EqBandText: the
// fields that differ ("160 Hz → 220 Hz", "+0.0 dB → +3.0 dB"), the whole band
// on both sides when its type changed.
std::string EqBandChangeText(const EqBandRecord& from, const EqBandRecord& to, int language);
// A Q as the image keeps it, to the thousandth, with at least two decimals.
std::string QText(double q);

} // namespace fx
