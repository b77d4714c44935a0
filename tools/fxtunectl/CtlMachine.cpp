#include "CtlMachine.h"

#include "CtlConfirm.h"
#include "CtlOutput.h"
#include "CtlSession.h"

#include "link/LinkState.h"
#include "state/DeviceMirrors.h"
#include "state/MachineSettings.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace fx;

namespace {

using Record = std::array<uint8_t, kMachineSettingsSize>;

// One NAME=VALUE of the command line, checked and ready to apply.
struct FieldChange {
    std::string name;
    int value = 0;
};

// What a field name accepts: a number range, or words standing for numbers.
struct FieldSpec {
    const char* name;
    int low, high;
    std::vector<std::pair<const char*, int>> words;
    const char* help;
};

const std::vector<FieldSpec>& Fields() {
    static const std::vector<FieldSpec> fields = {
        {"mic-start", 0, kMachineVolumeMax, {}, "0..99 (0 = not used)"},
        {"music-start", 0, kMachineVolumeMax, {}, "0..99 (0 = not used)"},
        {"mic-max", 1, kMachineVolumeMax, {}, "1..99"},
        {"music-max", 1, kMachineVolumeMax, {}, "1..99"},
        {"save-mode", 0, 1, {{"power", 0}, {"mode", 1}}, "power or mode"},
        {"power-on-mode",
         0,
         kPowerOnModeCount - 1,
         {{"auto", 0}, {"m1", 1}, {"m2", 2}, {"m3", 3}, {"m4", 4}},
         "auto or m1..m4"},
        {"hdmi-mute", 0, 1, {{"off", 0}, {"on", 1}}, "on or off"},
        {"routing", 0, 2, {{"sl", 0}, {"sbl", 1}, {"both", 2}}, "sl, sbl or both"},
        {"panel-lock", 0, 1, {{"off", 0}, {"on", 1}}, "on or off"},
        {"volume-lock", 0, 1, {{"off", 0}, {"on", 1}}, "on or off"},
        {"mode-lock", 0, 1, {{"off", 0}, {"on", 1}}, "on or off"},
    };
    return fields;
}

const FieldSpec* FindField(const std::string& name) {
    for (const FieldSpec& field : Fields())
        if (name == field.name) return &field;
    return nullptr;
}

bool ParseValue(const FieldSpec& field, const std::string& text, int& value) {
    if (field.words.empty()) {
        if (text.empty() || text.size() > 3) return false;
        for (char c : text)
            if (c < '0' || c > '9') return false;
        value = std::stoi(text);
        return value >= field.low && value <= field.high;
    }
    for (const auto& [word, number] : field.words)
        if (text == word) {
            value = number;
            return true;
        }
    return false;
}

CtlResult Usage(const std::string& what) {
    return CtlResult::Fail(kExitUsage, what);
}

CtlResult ParseChanges(const std::vector<std::string>& args, std::vector<FieldChange>& changes) {
    if (args.size() < 2) return Usage("machine set needs at least one NAME=VALUE");
    for (size_t i = 1; i < args.size(); ++i) {
        const size_t equals = args[i].find('=');
        const std::string name = args[i].substr(0, equals);
        const FieldSpec* field = FindField(name);
        if (!field) return Usage("unknown machine setting: " + name);
        if (equals == std::string::npos) return Usage(name + " needs =VALUE");
        FieldChange change{name, 0};
        if (!ParseValue(*field, args[i].substr(equals + 1), change.value))
            return Usage("bad value for " + name + ": \"" + args[i].substr(equals + 1) + "\" (" +
                         field->help + ")");
        changes.push_back(change);
    }
    return CtlResult::Ok();
}

// The maxima go first, so a power-on volume given with them is checked
// against the new maximum, and one not given comes down with it as in the
// editor's dialog.
CtlResult ApplyChanges(const std::vector<FieldChange>& changes, Record& record) {
    uint8_t* r = record.data();
    for (const FieldChange& c : changes) {
        if (c.name == "mic-max") SetMaxVolume(r, VolumeInput::Microphone, c.value);
        if (c.name == "music-max") SetMaxVolume(r, VolumeInput::Music, c.value);
    }
    for (const FieldChange& c : changes) {
        const bool mic = c.name == "mic-start";
        if (mic || c.name == "music-start") {
            const VolumeInput input = mic ? VolumeInput::Microphone : VolumeInput::Music;
            if (c.value > MaxVolume(r, input))
                return Usage(c.name + " " + std::to_string(c.value) + " is above " +
                             (mic ? "mic-max " : "music-max ") +
                             std::to_string(MaxVolume(r, input)));
            SetStartVolume(r, input, c.value);
        } else if (c.name == "save-mode") {
            SetSaveMode(r, static_cast<SaveMode>(c.value));
        } else if (c.name == "power-on-mode") {
            SetPowerOnMode(r, c.value);
        } else if (c.name == "hdmi-mute") {
            SetHdmiMuted(r, c.value != 0);
        } else if (c.name == "routing") {
            SetRouting(r, static_cast<SurroundRouting>(c.value));
        } else if (c.name == "panel-lock") {
            SetPanelLock(r, c.value != 0);
        } else if (c.name == "volume-lock") {
            SetVolumeLock(r, c.value != 0);
        } else if (c.name == "mode-lock") {
            SetModeLock(r, c.value != 0);
        }
    }
    // The volume and mode locks act within the panel lock (the dialog offers
    // them only while the panel is locked).
    for (const FieldChange& c : changes) {
        const bool inner = c.name == "volume-lock" || c.name == "mode-lock";
        if (inner && c.value != 0 && !PanelLocked(r))
            return Usage(c.name + "=on needs panel-lock=on");
    }
    return CtlResult::Ok();
}

std::string VolumeText(int volume) {
    return volume == 0 ? "0 (not used)" : std::to_string(volume);
}

const char* OnOff(bool on) {
    return on ? "on" : "off";
}

void PrintRecord(const uint8_t* r) {
    static const char* const kPowerOnModes[kPowerOnModeCount] = {"auto", "m1", "m2", "m3", "m4"};
    static const char* const kRoutings[] = {"sl", "sbl", "both"};
    std::fprintf(CtlStdout(), "save-mode: %s\n",
                 GetSaveMode(r) == SaveMode::ByMode ? "mode" : "power");
    std::fprintf(CtlStdout(), "mic-start: %s\n",
                 VolumeText(StartVolume(r, VolumeInput::Microphone)).c_str());
    std::fprintf(CtlStdout(), "music-start: %s\n",
                 VolumeText(StartVolume(r, VolumeInput::Music)).c_str());
    std::fprintf(CtlStdout(), "mic-max: %d\n", MaxVolume(r, VolumeInput::Microphone));
    std::fprintf(CtlStdout(), "music-max: %d\n", MaxVolume(r, VolumeInput::Music));
    const int mode = PowerOnMode(r);
    if (mode < kPowerOnModeCount)
        std::fprintf(CtlStdout(), "power-on-mode: %s\n", kPowerOnModes[mode]);
    else
        std::fprintf(CtlStdout(), "power-on-mode: unknown (%d)\n", mode);
    std::fprintf(CtlStdout(), "hdmi-mute: %s\n", OnOff(HdmiMuted(r)));
    if (const auto routing = Routing(r))
        std::fprintf(CtlStdout(), "routing: %s\n", kRoutings[static_cast<int>(*routing)]);
    else
        std::fprintf(CtlStdout(), "routing: unknown (0x%02X)\n", r[MS_HDMI_ROUTING]);
    std::fprintf(CtlStdout(), "panel-lock: %s\n", OnOff(PanelLocked(r)));
    std::fprintf(CtlStdout(), "volume-lock: %s\n", OnOff(VolumeLocked(r)));
    std::fprintf(CtlStdout(), "mode-lock: %s\n", OnOff(ModeLocked(r)));
    std::fprintf(CtlStdout(), "record:");
    for (int i = 0; i < kMachineSettingsSize; ++i) std::fprintf(CtlStdout(), " %02X", r[i]);
    std::fprintf(CtlStdout(), "\n");
}

} // namespace

CtlResult CheckMachineArguments(const CtlOptions& options) {
    const auto& args = options.arguments;
    if (args.empty()) return CtlResult::Ok();
    if (args[0] != "set") return Usage("machine takes no argument, or set NAME=VALUE ...");
    std::vector<FieldChange> changes;
    CtlResult result = ParseChanges(args, changes);
    if (!result.ok()) return result;
    // A power-on volume above a maximum given with it is refused before
    // connecting; one above the processor's own maximum after the read (and
    // so is an inner lock without the panel lock).
    Record open{};
    SetMaxVolume(open.data(), VolumeInput::Microphone, kMachineVolumeMax);
    SetMaxVolume(open.data(), VolumeInput::Music, kMachineVolumeMax);
    SetPanelLock(open.data(), true);
    return ApplyChanges(changes, open);
}

CtlResult RunMachineCommand(CtlSession& session, const CtlOptions& options) {
    fx::ParamStore& store = session.Store();
    CtlResult result = session.ReadAll();
    if (!result.ok()) return result;
    if (options.arguments.empty()) {
        PrintRecord(store.MachineSettingsDevice());
        return CtlResult::Ok();
    }
    std::vector<FieldChange> changes;
    result = ParseChanges(options.arguments, changes);
    if (!result.ok()) return result;
    Record record;
    std::memcpy(record.data(), store.MachineSettingsDevice(), kMachineSettingsSize);
    result = ApplyChanges(changes, record);
    if (!result.ok()) return result;
    result = ConfirmationResult("the machine settings",
                                SendMachineSettings(record.data(), kReplyWaitMs));
    if (!result.ok()) return result;
    std::memcpy(store.MachineSettingsDevice(), record.data(), kMachineSettingsSize);
    std::memcpy(store.MachineSettingsWork(), record.data(), kMachineSettingsSize);
    return CtlResult::Ok();
}
