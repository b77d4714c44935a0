#include "state/DeviceIdentity.h"

#include "state/DeviceMirrors.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace {

struct ModelEntry {
    const char* name;
    int musicInputDialog;
    std::vector<uint8_t> keptInputSources;
    uint8_t replacement;
};

// In the order the models are tested.
const std::vector<ModelEntry>& Models() {
    static const std::vector<ModelEntry> models = {
        {"ARN63", 530, {0, 1, 2, 3, 5, 6, 11}, 0},
        {"ARN52", 529, {5, 6, 11}, 11},
        {"ARN70", 527, {0, 1, 2, 3}, 0},
        {"ARN41", 528, {5, 8, 11}, 11},
        {"DSW418", 512, {0, 1, 2, 3}, 0},
        {"BRK63", 532, {0, 1, 2, 3, 5, 6, 11}, 3},
        {"CRL63MK", 534, {0, 1, 2, 3, 5, 6, 11}, 3},
    };
    return models;
}

// Text fields of the identity record need not be terminated inside their size.
std::string FieldText(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

const ModelEntry* FindModel(const char* moduleName) {
    if (!moduleName) return nullptr;
    const std::string name = FieldText(moduleName, sizeof g_Identity().moduleName);
    for (const ModelEntry& model : Models())
        if (name == model.name) return &model;
    return nullptr;
}

template <typename... Args> std::string Format(const char* format, Args... args) {
    char text[128];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

} // namespace

bool IsKnownModel(const char* moduleName) {
    return FindModel(moduleName) != nullptr;
}

bool IsKnownModel() {
    return IsKnownModel(g_Identity().moduleName);
}

bool IsCompatible(const IdentityRecord& identity) {
    return IsKnownModel(identity.moduleName) &&
           identity.commandSetVersion == kSupportedCommandSetVersion;
}

bool IsCompatible() {
    return IsCompatible(g_Identity());
}

uint8_t ClampInputSource(uint8_t inputSource, const char* moduleName) {
    const ModelEntry* model = FindModel(moduleName);
    if (!model) return inputSource;
    const auto& kept = model->keptInputSources;
    return std::find(kept.begin(), kept.end(), inputSource) != kept.end() ? inputSource
                                                                          : model->replacement;
}

uint8_t ClampInputSource(uint8_t inputSource) {
    return ClampInputSource(inputSource, g_Identity().moduleName);
}

int MusicInputDialogFor(const char* moduleName) {
    const ModelEntry* model = FindModel(moduleName);
    return model ? model->musicInputDialog : kUnlistedMusicInputDialog;
}

int MusicInputDialogFor() {
    return MusicInputDialogFor(g_Identity().moduleName);
}

std::string ModuleNameText() {
    return FieldText(g_Identity().moduleName, sizeof g_Identity().moduleName);
}

std::string AboutMcuText() {
    const int cmdVer = g_Identity().commandSetVersion == kSupportedCommandSetVersion ? 1 : 0;
    return Format("MCU Ver:%s CMD Ver:%02d",
                  FieldText(g_Identity().firstVersion, sizeof g_Identity().firstVersion).c_str(),
                  cmdVer);
}

std::string AboutDspText() {
    return Format("DSP Ver:%s",
                  FieldText(g_Identity().secondVersion, sizeof g_Identity().secondVersion).c_str());
}

std::string AboutModuleText() {
    return Format("Module:%s", ModuleNameText().c_str());
}
