#include "ImageJson.h"

#include "controls/EqModel.h"
#include "state/DeviceIdentity.h"
#include "state/DeviceMirrors.h"
#include "state/ParamImage.h"
#include "state/ParamNames.h"
#include "state/ParamStore.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr int kRecordHeadSize = 3;

std::string FieldText(const char* field, size_t size) {
    size_t length = 0;
    while (length < size && field[length] != '\0') ++length;
    return std::string(field, length);
}

// "name" of a record one item covers, "names" of one split into values.
std::string RecordNamesJson(int valueOffset, int count, int language) {
    const fx::ParamItem* whole = fx::FindParamItemAt(valueOffset);
    if (whole && whole->size == 4 * count) return ",\"name\":" + JsonString(whole->Name(language));
    std::string names;
    for (int value = 0; value < count; ++value) {
        const fx::ParamItem* item = fx::FindParamItemAt(valueOffset + 4 * value);
        names += (value ? "," : "") + (item ? JsonString(item->Name(language)) : "null");
    }
    return ",\"names\":[" + names + "]";
}

std::string DspRecordJson(const fx::ParamStore& store, int offset, int count, int language) {
    const int block = store.Image()[offset];
    const int parameter = store.Image()[offset + 1];
    std::string out = "{\"block\":" + std::to_string(block) +
                      ",\"parameter\":" + std::to_string(parameter) +
                      RecordNamesJson(offset + kRecordHeadSize, count, language) + ",\"raw\":[";
    for (int i = 0; i < count; ++i) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "\"%08X\"",
                      ReadBigEndian32(store.Image() + offset + kRecordHeadSize + 4 * i));
        out += (i ? "," : "") + std::string(hex);
    }
    const DspParamEntry* entry = FindDspParam(block, parameter);
    const bool hasValue = entry && entry->kind != DspValueKind::None &&
                          (entry->intVar() != nullptr || entry->floatVar() != nullptr);
    out += "],\"value\":" + (hasValue ? JsonNumber(GetDspParam(block, parameter)) : "null");
    return out + "}";
}

// The record chain from the start of the record area; a count that would run
// past the image ends it.
std::string DspRecordsJson(const fx::ParamStore& store, int language) {
    std::string out = "[";
    bool first = true;
    WalkDspRecords(store.Image(), [&](const DspRecordView& record) {
        out += (first ? "\n  " : ",\n  ") +
               DspRecordJson(store, record.offset, record.count, language);
        first = false;
        return true;
    });
    return out + "\n ]";
}

// Bands count from 1, as everywhere a person reads them.
std::string EqBandJson(const fx::ParamStore& store, int set, int band) {
    const EqBandRecord record = DecodeEqBandRecord(store.Image() + EqBandOffset(set, band));
    return "{\"band\":" + std::to_string(band + 1) + ",\"type\":" + std::to_string(record.type) +
           ",\"frequency\":" + JsonNumber(record.frequency) +
           ",\"gain\":" + JsonNumber(record.gain) + ",\"q\":" + JsonNumber(record.q) + "}";
}

std::string EqSetsJson(const fx::ParamStore& store) {
    std::string out = "[";
    for (int set = 0; set < kEqSetCount; ++set) {
        out += (set ? ",\n  " : "\n  ") + std::string("{\"set\":") + std::to_string(set) +
               ",\"bands\":[";
        for (int band = 0; band < EqSetSlots(set); ++band)
            out += (band ? "," : "") + EqBandJson(store, set, band);
        out += "]}";
    }
    return out + "\n ]";
}

} // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

std::string IdentityJson(const fx::ParamStore& store) {
    return "{\"module\":" + JsonString(ModuleNameText()) +
           ",\"commandSetVersion\":" + std::to_string(store.Identity().commandSetVersion) +
           ",\"mcuVersion\":" +
           JsonString(
               FieldText(store.Identity().firstVersion, sizeof store.Identity().firstVersion)) +
           ",\"dspVersion\":" +
           JsonString(
               FieldText(store.Identity().secondVersion, sizeof store.Identity().secondVersion)) +
           ",\"compatible\":" + (IsCompatible() ? "true" : "false") + "}";
}

std::string ImageToJson(const fx::ParamStore& store, int language) {
    return "{\n \"identity\":" + IdentityJson(store) +
           ",\n \"currentMode\":" + std::to_string(store.CurrentMode() + 1) +
           ",\n \"dsp\":" + DspRecordsJson(store, language) + ",\n \"eq\":" + EqSetsJson(store) +
           "\n}\n";
}
