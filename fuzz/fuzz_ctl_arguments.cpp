// fxtunectl's command line, cut from the input at zero bytes, through the
// option and argument parsing; an accepted set or eq is applied to the image
// (the link drops it), and what the image then holds must be what was asked.
#include "FuzzSupport.h"

#include "tools/fxtunectl/CtlCommands.h"
#include "tools/fxtunectl/CtlOptions.h"
#include "tools/fxtunectl/CtlWarnings.h"

#include "state/ParamImage.h"
#include "state/ParamNames.h"

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
constexpr size_t kMaxArguments = 12;

double Number(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

// The band record holds what eq was given, to its word's resolution (the
// set by number or name, the band counted from 1, the type by number or name).
void CheckBand(const std::vector<std::string>& args) {
    const int set = fx::EqSetFromText(args[0]);
    const int band = std::atoi(args[1].c_str()) - 1;
    const EqBandRecord stored = DecodeEqBandRecord(g_PanelImage() + EqBandOffset(set, band));
    if (stored.type != fx::EqTypeFromText(args[2])) __builtin_trap();
    if (stored.frequency != std::floor(Number(args[3]))) __builtin_trap();
    if (std::fabs(stored.gain - Number(args[4])) > 0.1 + 1e-9) __builtin_trap();
    if (std::fabs(stored.q - Number(args[5])) > 0.001 + 1e-9 || stored.q < 0.1) __builtin_trap();
}

// The editor variable holds what set was given (by BLOCK PARAM or by name).
void CheckValue(const std::vector<std::string>& args) {
    const double asked = Number(args.back());
    int block = std::atoi(args[0].c_str()), parameter = 0;
    if (args.size() == 2) {
        const fx::ParamItem* item = fx::FindParamItemByName(args[0]);
        if (item == nullptr) __builtin_trap();
        block = item->block;
        parameter = item->parameter;
    } else {
        parameter = std::atoi(args[1].c_str());
    }
    const double held = GetDspParam(block, parameter);
    if (std::fabs(held - asked) > 1e-3 * std::max(1.0, std::fabs(asked))) __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InstallOnce();
    SetCtlWarnings(false); // a rounded or hexadecimal value is taken all the same
    std::vector<std::string> args{"fxtunectl"};
    std::string current;
    for (size_t i = 0; i < size && args.size() <= kMaxArguments; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (args.size() <= kMaxArguments) args.push_back(current);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    CtlOptions options;
    std::string error;
    if (!ParseCtlOptions(static_cast<int>(args.size()), argv.data(), options, error)) return 0;
    const CtlResult result = RunCtlCommandOffline(options);
    if (result.ok() != result.message.empty()) __builtin_trap();
    if (!result.ok()) return 0;
    if (options.command == "eq") CheckBand(options.arguments);
    if (options.command == "set") CheckValue(options.arguments);
    return 0;
}
