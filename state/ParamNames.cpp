// The names of the image's parameters: one rule per run of DSP parameters,
// one per kind of panel-area field, applied to the record directory and the
// EQ set layout so that every byte of the image is named once.
#include "state/ParamNames.h"

#include "state/Compressor.h"
#include "state/DspParamTable.h"
#include "state/EqMath.h"
#include "state/MusicSources.h"
#include "state/OutputChannels.h"
#include "state/TextNumbers.h"
#include "state/ValueRanges.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>

namespace fx {

namespace {

using F = ParamFormat;

// A pair of texts, Chinese first like the language index.
struct Text2 {
    const char* zh;
    const char* en;
    const char* Of(int language) const { return language == kLanguageChinese ? zh : en; }
};

// What replaces "%s" in a rule's names.
enum class Label {
    None,
    Index,       // 1-based position of the parameter in the rule's run
    MusicSource, // the source of the run's position
    Channel,     // the output channel of the block ("CH 3" / "通道3")
};

// Names of a run of DSP parameters. block 0 stands for every output block 5..12.
// A compressor rule names the seven values of the record one by one.
struct NameRule {
    int block;
    int first, last;
    Text2 name;
    ParamFormat format;
    const char* unit = "";
    Label label = Label::None;
    bool compressor = false;
};

constexpr int kOutputBlocks = 0;

constexpr NameRule kRules[] = {
    // Block 1: microphone inputs, chains A and B, master levels.
    {1, 4, 7, {"话筒口%s音量", "Mic %s Vol"}, F::Percent, "", Label::Index},
    {1, 8, 11, {"话筒口%s噪声门", "Mic %s noise gate"}, F::Number, "", Label::Index},
    {1, 12, 12, {"自动超低", "Auto SUB vol decay"}, F::OnWhenSet},
    {1, 13, 13, {"自动超低比例", "Auto SUB vol decay level"}, F::Percent},
    {1, 14, 14, {"话筒音量", "Mic Vol"}, F::Percent},
    {1, 15, 15, {"话筒音量静音", "Mic Vol mute"}, F::MutedWhenZero},
    {1, 16, 16, {"效果总音量", "Effect Vol"}, F::Percent},
    {1, 17, 17, {"效果总音量静音", "Effect Vol mute"}, F::MutedWhenZero},
    {1, 33, 33, {"话筒A均衡旁路", "Mic A EQ bypass"}, F::OnWhenSet},
    {1, 34, 37, {"话筒口%s到通道A", "Mic %s to CH A"}, F::Percent, "", Label::Index},
    {1, 38, 38, {"话筒A移频", "Mic A shift frequency"}, F::ShiftFrequency},
    {1, 39, 39, {"话筒A移频窗口", "Mic A shift window"}, F::Milliseconds},
    {1, 40, 40, {"话筒A移频开关", "Mic A shift frequency switch"}, F::OnWhenClear},
    {1, 41, 41, {"话筒A低音增强输入增益", "Mic A Max Bass input gain"}, F::LinearGain},
    {1, 42, 42, {"话筒A低音增强输出增益", "Mic A Max Bass output gain"}, F::LinearGain},
    {1, 43, 43, {"话筒A低音增强", "Mic A Max Bass"}, F::OnWhenClear},
    {1, 44, 44, {"话筒A低音增强滤波器", "Mic A Max Bass filter"}, F::FloatList},
    {1, 60, 60, {"话筒B均衡旁路", "Mic B EQ bypass"}, F::OnWhenSet},
    {1, 61, 64, {"话筒口%s到通道B", "Mic %s to CH B"}, F::Percent, "", Label::Index},
    {1, 65, 65, {"话筒B移频", "Mic B shift frequency"}, F::ShiftFrequency},
    {1, 66, 66, {"话筒B移频窗口", "Mic B shift window"}, F::Milliseconds},
    {1, 67, 67, {"话筒B移频开关", "Mic B shift frequency switch"}, F::OnWhenClear},
    {1, 68, 68, {"话筒B低音增强输入增益", "Mic B Max Bass input gain"}, F::LinearGain},
    {1, 69, 69, {"话筒B低音增强输出增益", "Mic B Max Bass output gain"}, F::LinearGain},
    {1, 70, 70, {"话筒B低音增强", "Mic B Max Bass"}, F::OnWhenClear},
    {1, 71, 71, {"话筒B低音增强滤波器", "Mic B Max Bass filter"}, F::FloatList},
    // Block 2: echo of chains A and B, master echo level.
    {2, 7, 7, {"回声A均衡旁路", "Echo A EQ bypass"}, F::OnWhenSet},
    {2, 8, 8, {"话筒A回声类型", "Mic A Echo Type"}, F::EchoType},
    {2, 9, 9, {"话筒A回声电平", "Mic A Echo Level"}, F::Percent},
    {2, 10, 10, {"话筒A回声预延时", "Mic A Echo Predelay"}, F::Milliseconds},
    {2, 11, 11, {"话筒A回声间隔", "Mic A Echo Time"}, F::Milliseconds},
    {2, 12, 12, {"话筒A回声起始音量", "Mic A Echo Start Vol"}, F::Percent},
    {2, 13, 13, {"话筒A回声衰减比例", "Mic A Echo Vol Decay"}, F::Percent},
    {2, 21, 21, {"回声B均衡旁路", "Echo B EQ bypass"}, F::OnWhenSet},
    {2, 22, 22, {"话筒B回声类型", "Mic B Echo Type"}, F::EchoType},
    {2, 23, 23, {"话筒B回声电平", "Mic B Echo Level"}, F::Percent},
    {2, 24, 24, {"话筒B回声预延时", "Mic B Echo Predelay"}, F::Milliseconds},
    {2, 25, 25, {"话筒B回声间隔", "Mic B Echo Time"}, F::Milliseconds},
    {2, 26, 26, {"话筒B回声起始音量", "Mic B Echo Start Vol"}, F::Percent},
    {2, 27, 27, {"话筒B回声衰减比例", "Mic B Echo Vol Decay"}, F::Percent},
    {2, 28, 28, {"回声音量", "Echo Vol"}, F::Percent},
    {2, 29, 29, {"回声音量静音", "Echo Vol mute"}, F::MutedWhenZero},
    // Block 3: reverb of chains A and B, master reverb level. Both reverb
    // time parameters of a chain carry the same value.
    {3, 7, 7, {"混响A均衡旁路", "Reverb A EQ bypass"}, F::OnWhenSet},
    {3, 8, 8, {"话筒A混响电平", "Mic A Reverb Level"}, F::Percent},
    {3, 9, 9, {"话筒A混响预延时", "Mic A Reverb Predelay"}, F::Milliseconds},
    {3, 10, 10, {"话筒A混响时长", "Mic A Reverb Time"}, F::ReverbTime},
    {3, 11, 11, {"话筒A混响时长(第二值)", "Mic A Reverb Time (second value)"}, F::ReverbTime},
    {3, 19, 19, {"混响B均衡旁路", "Reverb B EQ bypass"}, F::OnWhenSet},
    {3, 20, 20, {"话筒B混响电平", "Mic B Reverb Level"}, F::Percent},
    {3, 21, 21, {"话筒B混响预延时", "Mic B Reverb Predelay"}, F::Milliseconds},
    {3, 22, 22, {"话筒B混响时长", "Mic B Reverb Time"}, F::ReverbTime},
    {3, 23, 23, {"话筒B混响时长(第二值)", "Mic B Reverb Time (second value)"}, F::ReverbTime},
    {3, 24, 24, {"混响音量", "Reverb Vol"}, F::Percent},
    {3, 25, 25, {"混响音量静音", "Reverb Vol mute"}, F::MutedWhenZero},
    // Block 4: music input.
    {4, 11, 11, {"音乐均衡旁路", "Music EQ bypass"}, F::OnWhenSet},
    {4, 12, 12, {"音乐音量", "Music Vol"}, F::Percent},
    {4, 13, 13, {"音乐音量静音", "Music Vol mute"}, F::MutedWhenZero},
    {4,
     14,
     14,
     {"音乐输入电平自动控制", "Auto Music Input Level"},
     F::FloatList,
     "",
     Label::None,
     true},
    {4, 15, 15, {"音乐输入电平自动控制开关", "Auto Music Input Level switch"}, F::OnWhenClear},
    {4, 16, 16, {"音乐参数16", "Music parameter 16"}, F::FloatList},
    {4, 17, 17, {"音乐参数17", "Music parameter 17"}, F::FloatList},
    {4, 21, 21, {"音乐变调", "Music Pitch"}, F::Pitch},
    {4, 22, 22, {"音乐噪声门", "Music noise gate"}, F::Number},
    {4, 23, 23, {"音乐输入源", "Music input source"}, F::MusicSource},
    {4, 24, 37, {"音源%s电平", "Music input %s level"}, F::Percent, "", Label::MusicSource},
    {4, 39, 39, {"音乐低频延时", "Music Max Bass LPF Delay"}, F::Milliseconds},
    {4, 40, 40, {"音乐低频增益", "Music Max Bass LPF Gain"}, F::Percent},
    // Blocks 5..12: output channels.
    {kOutputBlocks, 12, 12, {"%s均衡旁路", "%s EQ bypass"}, F::OnWhenSet, "", Label::Channel},
    {kOutputBlocks, 13, 13, {"%s信号源", "%s source"}, F::OutputSource, "", Label::Channel},
    {kOutputBlocks, 14, 14, {"%s延时模式", "%s delay mode"}, F::DelayMode, "", Label::Channel},
    {kOutputBlocks, 15, 15, {"%s延时", "%s delay"}, F::Milliseconds, "", Label::Channel},
    {kOutputBlocks, 16, 16, {"%s延时开关", "%s Delay Switch"}, F::OnWhenClear, "", Label::Channel},
    {kOutputBlocks, 17, 17, {"%s直达声音量", "%s direct level"}, F::Percent, "", Label::Channel},
    {kOutputBlocks, 18, 18, {"%s混响音量", "%s reverb level"}, F::Percent, "", Label::Channel},
    {kOutputBlocks, 19, 19, {"%s回声音量", "%s echo level"}, F::Percent, "", Label::Channel},
    {kOutputBlocks, 20, 20, {"%s音乐音量", "%s music level"}, F::Percent, "", Label::Channel},
    {kOutputBlocks, 21, 21, {"%s环绕音量", "%s surround volume"}, F::Percent, "", Label::Channel},
    {kOutputBlocks, 22, 22, {"%s相位", "%s phase"}, F::Phase, "", Label::Channel},
    {kOutputBlocks, 23, 23, {"%s静音", "%s mute"}, F::MutedWhenZero, "", Label::Channel},
    {kOutputBlocks, 24, 24, {"%s压限", "%s compressor"}, F::FloatList, "", Label::Channel, true},
    {kOutputBlocks,
     25,
     25,
     {"%s压限启用", "%s Compressor Switch"},
     F::OnWhenClear,
     "",
     Label::Channel},
    {kOutputBlocks,
     26,
     26,
     {"%s距离电平滤波器", "%s distance level filter"},
     F::DistanceFilter,
     "",
     Label::Channel},
    // Block 13: recording output.
    {13, 5, 5, {"录音均衡旁路", "Recording EQ bypass"}, F::OnWhenSet},
    {13, 6, 6, {"录音直达声音量", "Recording direct level"}, F::Percent},
    {13, 7, 7, {"录音混响音量", "Recording reverb level"}, F::Percent},
    {13, 8, 8, {"录音回声音量", "Recording echo level"}, F::Percent},
    {13, 9, 9, {"录音音乐音量", "Recording music level"}, F::Percent},
    {13, 10, 10, {"录音压限", "Recording compressor"}, F::FloatList, "", Label::None, true},
    {13, 11, 11, {"录音压限启用", "Recording Compressor Switch"}, F::OnWhenClear},
    {13, 12, 12, {"录音电平", "Recording level"}, F::Percent},
    // Block 14: microphone exciter.
    {14, 0, 0, {"话筒激励低频", "Mic Exciter LowF"}, F::Float, "Hz"},
    {14, 1, 1, {"话筒激励低频增益", "Mic Exciter LowF gain"}, F::Float, "dB"},
    {14, 2, 2, {"话筒激励中频", "Mic Exciter MidF"}, F::Float, "Hz"},
    {14, 3, 3, {"话筒激励中频增益", "Mic Exciter MidF gain"}, F::Float, "dB"},
    {14, 4, 4, {"话筒激励高频", "Mic Exciter HighF"}, F::Float, "Hz"},
    {14, 5, 5, {"话筒激励高频增益", "Mic Exciter HighF gain"}, F::Float, "dB"},
    {14, 6, 6, {"话筒激励谐波增益", "Mic Exciter harmonic Gain"}, F::Percent},
    {14, 7, 7, {"话筒激励谐波次数比", "Mic Exciter Harmony"}, F::Percent},
    {14, 8, 8, {"话筒激励谐波比例", "Mic Exciter Mix"}, F::Percent},
    {14, 9, 9, {"话筒激励总音量", "Mic Exciter Level"}, F::Percent},
    {14, 10, 10, {"话筒激励均衡启用", "Mic Exciter EQ ON"}, F::OnWhenSet},
    {14, 11, 11, {"话筒激励激励启用", "Mic Exciter Exciter ON"}, F::OnWhenSet},
};

// The seven values of a compressor record; x5 is the attack, x6 the release.
constexpr int kAttackValue = 5;
struct CompressorValueName {
    Text2 suffix;
    ParamFormat format;
};
constexpr CompressorValueName kCompressorValues[kCompressorValueCount] = {
    {{"阈值", " threshold"}, F::Threshold},
    {{"数值x1", " value x1"}, F::FloatList},
    {{"衰减比例", " ratio"}, F::Ratio},
    {{"数值x3", " value x3"}, F::FloatList},
    {{"数值x4", " value x4"}, F::FloatList},
    {{"启动时间", " attack time"}, F::TimeConstant},
    {{"释放时间", " release time"}, F::TimeConstant},
};

// The owners of the sixteen EQ sets.
constexpr Text2 kEqSetOwners[kEqSetCount] = {
    {"话筒A", "Mic A"},    {"话筒B", "Mic B"},    {"回声A", "Echo A"}, {"回声B", "Echo B"},
    {"混响A", "Reverb A"}, {"混响B", "Reverb B"}, {"音乐", "Music"},   {"通道1", "CH 1"},
    {"通道2", "CH 2"},     {"通道3", "CH 3"},     {"通道4", "CH 4"},   {"通道5", "CH 5"},
    {"通道6", "CH 6"},     {"通道7", "CH 7"},     {"通道8", "CH 8"},   {"录音", "Recording"},
};

// The speakers of the room plan in their order 1..8.
constexpr Text2 kSpeakers[8] = {
    {"前置左", "L"}, {"中置", "CEN"},     {"前置右", "R"},    {"后环绕左", "SBL"},
    {"超低", "SUB"}, {"后环绕右", "SBR"}, {"侧环绕左", "SL"}, {"侧环绕右", "SR"},
};

constexpr Text2 kOn = {"开", "on"};
constexpr Text2 kOff = {"关", "off"};

// A name as typed, compared without case, spaces or punctuation; letters of
// other scripts (UTF-8 bytes) are kept as they are.
std::string FoldedName(const std::string& text) {
    std::string folded;
    for (unsigned char c : text) {
        if (c >= 0x80 || std::isalnum(c)) folded += static_cast<char>(std::tolower(c));
    }
    return folded;
}

std::string Fill(const char* pattern, const std::string& label) {
    std::string text = pattern;
    const size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, label);
    return text;
}

std::string ChannelOwner(int channel, int language) {
    return (language == kLanguageChinese ? "通道" : "CH ") + std::to_string(channel + 1);
}

std::string RuleLabel(const NameRule& rule, int block, int parameter, int language) {
    switch (rule.label) {
    case Label::Index:
        return std::to_string(parameter - rule.first + 1);
    case Label::MusicSource:
        return FullMusicSourceName(parameter - rule.first);
    case Label::Channel:
        return ChannelOwner(block - 5, language);
    case Label::None:
        break;
    }
    return {};
}

const NameRule* FindRule(int block, int parameter) {
    const int ruleBlock = block >= 5 && block <= 12 ? kOutputBlocks : block;
    for (const NameRule& rule : kRules) {
        if (rule.block == ruleBlock && parameter >= rule.first && parameter <= rule.last)
            return &rule;
    }
    return nullptr;
}

ParamItem DspItem(const DspRecordDefault& record, int valueIndex, int size) {
    ParamItem item;
    item.offset = record.valueOffset + 4 * valueIndex;
    item.size = size;
    item.block = record.block;
    item.parameter = record.parameter;
    item.valueIndex = valueIndex;
    return item;
}

// The items of one DSP record: one for the whole record, or one per value of
// a compressor record. A record without a rule is named by its numbers.
void AddDspItems(const DspRecordDefault& record, std::vector<ParamItem>& items) {
    const NameRule* rule = FindRule(record.block, record.parameter);
    if (rule == nullptr) {
        ParamItem item = DspItem(record, 0, 4 * record.count);
        const std::string numbers =
            std::to_string(record.block) + "/" + std::to_string(record.parameter);
        item.names[0] = "DSP参数" + numbers;
        item.names[1] = "DSP parameter " + numbers;
        item.format = F::FloatList;
        items.push_back(item);
        return;
    }
    std::string base[2];
    for (int language : {kLanguageChinese, kLanguageEnglish}) {
        base[language] = Fill(rule->name.Of(language),
                              RuleLabel(*rule, record.block, record.parameter, language));
    }
    if (!rule->compressor) {
        ParamItem item = DspItem(record, 0, 4 * record.count);
        item.names[0] = base[0];
        item.names[1] = base[1];
        item.format = rule->format;
        item.unit = rule->unit;
        items.push_back(item);
        return;
    }
    for (int value = 0; value < record.count && value < kCompressorValueCount; ++value) {
        ParamItem item = DspItem(record, value, 4);
        for (int language : {kLanguageChinese, kLanguageEnglish})
            item.names[language] = base[language] + kCompressorValues[value].suffix.Of(language);
        item.format = kCompressorValues[value].format;
        items.push_back(item);
    }
}

ParamItem PanelItem(int offset, int size, const std::string& zh, const std::string& en,
                    ParamFormat format, const char* unit = "") {
    ParamItem item;
    item.offset = offset;
    item.size = size;
    item.names[0] = zh;
    item.names[1] = en;
    item.format = format;
    item.unit = unit;
    return item;
}

// Names of the band slots beyond the bands on a set's page.
std::string SlotName(int set, int band, int language) {
    const std::string owner = kEqSetOwners[set].Of(language);
    const bool zh = language == kLanguageChinese;
    if (set == 6 && band == 10) return zh ? "音乐低频滤波器" : "Music Max Bass LPF";
    if (set >= 7 && set <= 14 && band == 10)
        return owner + (zh ? "高频延时分频高通" : " delay split high-pass");
    if (set >= 7 && set <= 14 && band == 11)
        return owner + (zh ? "高频延时分频低通" : " delay split low-pass");
    if (set == 12 && band >= 7 && band <= 9) {
        const std::string section = std::to_string(band - 5);
        return owner + (zh ? "均衡频段7分节" + section : " EQ band 7 section " + section);
    }
    const std::string number = std::to_string(band + 1);
    return owner + (zh ? "均衡频段" + number : " EQ band " + number);
}

void AddPanelItems(std::vector<ParamItem>& items) {
    for (int set = 0; set < kEqSetCount; ++set) {
        for (int band = 0; band < EqSetSlots(set); ++band) {
            ParamItem item = PanelItem(EqBandOffset(set, band), kEqBandRecordSize,
                                       SlotName(set, band, kLanguageChinese),
                                       SlotName(set, band, kLanguageEnglish), F::EqBand);
            item.eqSet = set;
            item.eqBand = band;
            items.push_back(item);
        }
    }
    for (int channel = 0; channel < 8; ++channel) {
        items.push_back(PanelItem(kSurroundLevelsOffset + 4 * channel, 4,
                                  ChannelOwner(channel, kLanguageChinese) + "距离电平",
                                  ChannelOwner(channel, kLanguageEnglish) + " distance level",
                                  F::Float, "dB"));
    }
    const int layout = kSurroundLayoutOffset;
    items.push_back(PanelItem(layout, 1, "房间宽度", "Room width", F::Metres));
    items.push_back(PanelItem(layout + 1, 1, "房间长度", "Room length", F::Metres));
    items.push_back(PanelItem(layout + 2, 2, "听众位置", "Audience position", F::Point));
    for (int speaker = 0; speaker < 8; ++speaker) {
        items.push_back(
            PanelItem(layout + 4 + 2 * speaker, 2, std::string(kSpeakers[speaker].zh) + "音箱位置",
                      std::string("Speaker ") + kSpeakers[speaker].en + " position", F::Point));
    }
    items.push_back(
        PanelItem(layout + 20, 4, "声场布局保留字节", "Room layout reserved bytes", F::Bytes));
    items.push_back(
        PanelItem(kPanelLevelOffset, 4, "话筒低音增强量", "Mic Max Bass boost", F::Float, "dB"));
    items.push_back(PanelItem(kPanelLevelOffset + 4, kPanelSize - kPanelLevelOffset - 4,
                              "面板保留字节", "Panel reserved bytes", F::Bytes));
}

std::vector<ParamItem> BuildItems() {
    std::vector<ParamItem> items;
    AddPanelItems(items);
    for (const DspRecordDefault& record : DspRecordDefaults()) AddDspItems(record, items);
    std::sort(items.begin(), items.end(),
              [](const ParamItem& a, const ParamItem& b) { return a.offset < b.offset; });
    return items;
}

// ---------------------------------------------------------------- values

std::string Printf(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

uint32_t Stored(const uint8_t* image, const ParamItem& item, int value = 0) {
    return ReadBigEndian32(image + item.offset + 4 * value);
}

float StoredFloat(const uint8_t* image, const ParamItem& item, int value = 0) {
    return FloatFromBits(Stored(image, item, value));
}

ParamValue Words(const Text2& words, int language, double number) {
    return {words.Of(language), number, "", std::nullopt};
}

// A number and its unit; degrees and ratios follow the number directly.
ParamValue Measured(double number, const char* format, const std::string& unit) {
    const bool attached = unit.empty() || unit == "°" || unit == ":1";
    return {Printf(format, number) + (attached ? "" : " ") + unit, number, unit, std::nullopt};
}

ParamValue Switch(bool on, int language, double number) {
    return Words(on ? kOn : kOff, language, number);
}

std::string FloatListText(const uint8_t* image, const ParamItem& item) {
    std::string text;
    for (int value = 0; value < item.size / 4; ++value) {
        if (value > 0) text += ", ";
        text += Printf("%.6g", StoredFloat(image, item, value));
    }
    return text;
}

std::string HexText(const uint8_t* bytes, int size) {
    std::string text;
    for (int i = 0; i < size; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", bytes[i]);
        text += hex;
    }
    return text;
}

double DecibelsOf(double gain) {
    return 20.0 * std::log10(gain);
}

ParamValue Selection(const uint8_t* image, const ParamItem& item, int language) {
    const int index = static_cast<int>(Stored(image, item) & 0xFF);
    if (item.format == F::EchoType && (index == 0 || index == 1))
        return Words(index == 0 ? Text2{"单声回声", "Mono"} : Text2{"双声回声", "Stereo"}, language,
                     index);
    // The selected source as the model's music source dialog names it.
    if (item.format == F::MusicSource && index < kMusicSourceCount)
        return {MusicSourceName(index), double(index), "", std::nullopt};
    if (item.format == F::OutputSource && index < kOutputSourceCount) {
        const OutputSourceName& source = kOutputSourceNames[index];
        return Words({source.zh, source.en}, language, index);
    }
    return {std::to_string(index), double(index), "", std::nullopt};
}

// One setting of a compressor record, decoded as the pages decode it.
ParamValue CompressorSetting(const ParamItem& item, const uint8_t* image) {
    const CompressorValues settings =
        DecodeCompressorRecord(image + item.offset - 4 * item.valueIndex);
    if (item.format == F::Threshold) return Measured(settings.thresholdDb, "%.0f", "dB");
    if (item.format == F::Ratio) return Measured(settings.ratio, "%.1f", ":1");
    const bool attack = item.valueIndex == kAttackValue;
    return Measured(attack ? settings.attackMs : settings.releaseMs, "%.0f", "ms");
}

ParamValue DspValue(const ParamItem& item, const uint8_t* image, int language) {
    const uint32_t stored = Stored(image, item);
    const float single = FloatFromBits(stored);
    switch (item.format) {
    case F::Percent:
        return Measured(PercentFromStored(stored), "%.0f", "%");
    case F::Number:
        if (FindDspParam(item.block, item.parameter)->kind == DspValueKind::TenThousandths)
            return Measured(TenThousandthsFromStored(stored), "%.0f", "");
        return Measured(stored & 0xFF, "%.0f", "");
    case F::Milliseconds:
        return {MillisecondsText(SamplesToMs(stored), 1) + " ms", SamplesToMs(stored), "ms",
                std::nullopt};
    case F::OnWhenSet:
        return Switch((stored & 0xFF) != 0, language, stored & 0xFF);
    case F::OnWhenClear:
        return Switch((stored & 0xFF) == 0, language, stored & 0xFF);
    case F::MutedWhenZero:
        return Switch(PercentFromStored(stored) == 0, language, PercentFromStored(stored));
    case F::Phase:
        return Measured(single < 0 ? 180 : 0, "%.0f", "°");
    case F::EchoType:
    case F::MusicSource:
    case F::OutputSource:
        return Selection(image, item, language);
    case F::Pitch:
        return Measured(static_cast<int>(stored & 0xFF) - 5, "%+.0f", "");
    case F::ReverbTime:
        return Measured(40.0 + 49.6 * PercentFromStored(stored), "%.0f", "ms");
    case F::Float:
        return Measured(single, "%.6g", item.unit);
    case F::ShiftFrequency:
        return Measured(single * 48000.0 / (2.0 * std::numbers::pi), "%.1f", "Hz");
    case F::LinearGain:
    case F::DistanceFilter:
        return Measured(DecibelsOf(single), "%+.1f", "dB");
    case F::Threshold:
    case F::Ratio:
    case F::TimeConstant:
        return CompressorSetting(item, image);
    case F::DelayMode: {
        const bool whole = StoredFloat(image, item, 1) * 100.0f == 0.0f;
        return Words(whole ? Text2{"通道延时", "Channel delay"} : Text2{"高频延时", "H.Freq Delay"},
                     language, whole ? 1 : 0);
    }
    default:
        break;
    }
    return {FloatListText(image, item), std::nullopt, "", std::nullopt};
}

ParamValue PanelValue(const ParamItem& item, const uint8_t* image, int language) {
    const uint8_t* bytes = image + item.offset;
    switch (item.format) {
    case F::EqBand: {
        const EqBandRecord band = DecodeEqBandRecord(bytes);
        return {EqBandText(band, language), std::nullopt, "", band};
    }
    case F::Float:
        return Measured(FloatFromBits(ReadBigEndian32(bytes)), "%+.1f", item.unit);
    case F::Metres:
        return Measured(bytes[0], "%.0f", "m");
    case F::Point:
        return {Printf("%+.1f m", DecodeSignedTenths(bytes[0])) + ", " +
                    Printf("%+.1f m", DecodeSignedTenths(bytes[1])),
                std::nullopt, "m", std::nullopt};
    default:
        break;
    }
    return {HexText(bytes, item.size), std::nullopt, "", std::nullopt};
}

} // namespace

const std::vector<ParamItem>& ParamItems() {
    static const std::vector<ParamItem> items = BuildItems();
    return items;
}

const ParamItem* FindParamItemAt(int offset) {
    const std::vector<ParamItem>& items = ParamItems();
    auto after = std::upper_bound(items.begin(), items.end(), offset,
                                  [](int at, const ParamItem& item) { return at < item.offset; });
    if (after == items.begin()) return nullptr;
    const ParamItem& item = *(after - 1);
    return offset < item.offset + item.size ? &item : nullptr;
}

const ParamItem* FindDspParamItem(int block, int parameter, int valueIndex) {
    for (const ParamItem& item : ParamItems()) {
        if (item.block == block && item.parameter == parameter && item.valueIndex == valueIndex)
            return &item;
    }
    return nullptr;
}

const ParamItem* FindEqBandItem(int set, int band) {
    if (band < 0 || band >= EqSetSlots(set)) return nullptr;
    return FindParamItemAt(EqBandOffset(set, band));
}

const ParamItem* FindParamItemByName(const std::string& name) {
    // Folded name -> item; nullptr where two items fold to one name.
    static const std::map<std::string, const ParamItem*> byName = [] {
        std::map<std::string, const ParamItem*> names;
        for (const ParamItem& item : ParamItems()) {
            for (int language : {kLanguageChinese, kLanguageEnglish}) {
                const auto [at, added] = names.emplace(FoldedName(item.Name(language)), &item);
                if (!added && at->second != &item) at->second = nullptr;
            }
        }
        return names;
    }();
    const auto found = byName.find(FoldedName(name));
    return found == byName.end() ? nullptr : found->second;
}

ParamValue ReadParamValue(const ParamItem& item, const uint8_t* image, int language) {
    if (item.block >= 0) return DspValue(item, image, language);
    return PanelValue(item, image, language);
}

std::string EqSetName(int set, int language) {
    if (set < 0 || set >= kEqSetCount) return {};
    return std::string(kEqSetOwners[set].Of(language)) +
           (language == kLanguageChinese ? "均衡" : " EQ");
}

const char* const kEqSetChoices =
    "0..15 or a name: mic-a, mic-b, echo-a, echo-b, reverb-a, reverb-b, music, ch1..ch8, rec";

int EqSetFromText(const std::string& text) {
    int number = 0;
    if (ParseWholeNumber(text, 0, kEqSetCount - 1, number)) return number;
    const std::string typed = FoldedName(text);
    if (typed.empty()) return -1;
    if (typed == "rec") return kEqSetCount - 1;
    for (int set = 0; set < kEqSetCount; ++set) {
        for (int language : {kLanguageChinese, kLanguageEnglish}) {
            const std::string owner = FoldedName(kEqSetOwners[set].Of(language));
            if (typed == owner || typed == FoldedName(EqSetName(set, language))) return set;
        }
    }
    return -1;
}

namespace {
constexpr int kPageTypeCount = EQ_HS + 1;
constexpr Text2 kTypes[kPageTypeCount] = {{"关闭", "OFF"}, {"参量", "PEQ"}, {"低通", "LP"},
                                          {"高通", "HP"},  {"低架", "LS"},  {"高架", "HS"}};
} // namespace

std::string EqTypeText(int type, int language) {
    if (type >= 0 && type < kPageTypeCount) return kTypes[type].Of(language);
    return (language == kLanguageChinese ? "类型" : "type ") + std::to_string(type);
}

int EqTypeFromText(const std::string& text) {
    int number = 0;
    if (ParseWholeNumber(text, 0, kPageTypeCount - 1, number)) return number;
    const std::string typed = FoldedName(text);
    for (int type = 0; type < kPageTypeCount; ++type)
        if (typed == FoldedName(kTypes[type].zh) || typed == FoldedName(kTypes[type].en))
            return type;
    return -1;
}

std::string QText(double q) {
    std::string text = Printf("%.3f", q);
    if (text.back() == '0') text.pop_back();
    return text;
}

std::string EqBandText(const EqBandRecord& band, int language) {
    return EqTypeText(band.type, language) + Printf(" %.0f Hz", band.frequency) +
           Printf(" %+.1f dB", band.gain) + " Q " + QText(band.q);
}

std::string EqBandChangeText(const EqBandRecord& from, const EqBandRecord& to, int language) {
    if (from.type != to.type) return EqBandText(from, language) + " → " + EqBandText(to, language);
    const std::string fields[3][2] = {
        {Printf("%.0f Hz", from.frequency), Printf("%.0f Hz", to.frequency)},
        {Printf("%+.1f dB", from.gain), Printf("%+.1f dB", to.gain)},
        {"Q " + QText(from.q), "Q " + QText(to.q)}};
    std::string before, after;
    for (const auto& field : fields) {
        if (field[0] == field[1]) continue;
        before += (before.empty() ? "" : " ") + field[0];
        after += (after.empty() ? "" : " ") + field[1];
    }
    if (before.empty()) return EqBandText(from, language);
    return before + " → " + after;
}

} // namespace fx
