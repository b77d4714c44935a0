#include "CtlCommands.h"

#include "CtlAutoEq.h"
#include "CtlConfirm.h"
#include "CtlDiff.h"
#include "CtlEqFilters.h"
#include "CtlFeatures.h"
#include "CtlJsonReports.h"
#include "CtlMachine.h"
#include "CtlOutput.h"
#include "CtlOutputVerbs.h"
#include "CtlRemote.h"
#include "CtlSession.h"
#include "CtlSpeakerVerbs.h"
#include "CtlWarnings.h"
#include "CtlWords.h"
#include "ImageJson.h"

#include "controls/EqModel.h"
#include "link/LinkState.h"
#include "link/ReplyDispatcher.h"
#include "modefile/ModeFile.h"
#include "state/ChannelLinks.h"
#include "state/DeviceIdentity.h"
#include "state/DeviceMirrors.h"
#include "state/EqFilterText.h"
#include "state/MachineModes.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"
#include "state/ParamNames.h"
#include "state/TextNumbers.h"
#include "state/ValueRanges.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool ParseInt(const std::string& text, int low, int high, int& value) {
    return fx::ParseWholeNumber(text, low, high, value);
}

bool ParseNumber(const std::string& text, double& value) {
    const bool ok = fx::ParseDecimal(text, value);
    if (ok) WarnIfHexadecimal(text);
    return ok;
}

CtlResult Usage(const std::string& what) {
    return CtlResult::Fail(kExitUsage, what);
}

const DspParamEntry* EditableEntry(int block, int parameter) {
    const DspParamEntry* entry = FindDspParam(block, parameter);
    if (!entry || entry->kind == DspValueKind::None || entry->imageOffset < 0) return nullptr;
    if (!entry->intVar() && !entry->floatVar()) return nullptr;
    return entry;
}

// The command's arguments, checked before anything is sent.
struct CommandArguments {
    int block = 0, parameter = 0;
    double value = 0;
    int set = 0, band = 0, type = 0;
    double frequency = 0, gain = 0, q = 0;
    int mode = 0;
    std::string action, path;
    fx::ModeFileCheck modeFile; // write: the file, read before connecting
    OutputVerbArgs output;
    SpeakerVerbArgs speaker;
    AutoEqArgs autoEq; // the measurement and target read before connecting
};

// A time keeps whole samples (1/48 ms), a float its 24 bits: said when what
// get will print differs from what was given.
void WarnIfStoredOtherwise(int block, int parameter, double value) {
    const std::string kept = fx::DspValueText(block, parameter, value);
    const auto range = fx::DspParamRange(block, parameter);
    WarnIfRounded("VALUE", value, std::strtod(kept.c_str(), nullptr), range ? range->unit : "");
}

CtlResult ParseBlockParameter(const std::vector<std::string>& args, CommandArguments& out) {
    if (!ParseInt(args[0], 0, 255, out.block) || !ParseInt(args[1], 0, 255, out.parameter))
        return Usage("BLOCK and PARAM are numbers 0..255");
    if (!EditableEntry(out.block, out.parameter))
        return CtlResult::Fail(kExitFailed, "no editable DSP parameter " + args[0] + " " + args[1]);
    return CtlResult::Ok();
}

// A parameter by the name diff and dump print (one argument) or by BLOCK
// PARAM (two); how many arguments name it.
CtlResult ParseParameter(const std::vector<std::string>& args, bool byName, CommandArguments& out) {
    if (!byName) return ParseBlockParameter(args, out);
    const fx::ParamItem* item = fx::FindParamItemByName(args[0]);
    if (!item)
        return Usage("no parameter named \"" + args[0] +
                     "\" (give BLOCK PARAM, or a name as diff and dump print it)");
    out.block = item->block;
    out.parameter = item->parameter;
    if (item->block < 0 || item->valueIndex != 0 || !EditableEntry(item->block, item->parameter))
        return CtlResult::Fail(kExitFailed,
                               "no editable DSP parameter: " + item->Name(fx::kLanguageEnglish));
    return CtlResult::Ok();
}

// The bands eq reaches: those the set's page shows as bands of their own,
// counted from 1. The crossover band of CH 6 and its sections belong to
// xover, the split filters and the max-bass low-pass to their pages' verbs.
CtlResult ParseEqBand(const std::string& text, int set, int& band) {
    const int bands = fx::FilterBandCount(set);
    if (fx::ParseWholeNumber(text, 1, bands, band)) {
        --band;
        return CtlResult::Ok();
    }
    std::string message = "BAND of " + fx::EqSetName(set, fx::kLanguageEnglish) + " (set " +
                          std::to_string(set) + ") is 1.." + std::to_string(bands) + ", not " +
                          text;
    if (set == OutputEqSet(kCrossoverChannel))
        message += " (band " + std::to_string(kCrossoverBand + 1) + " is the crossover: use xover)";
    return Usage(message);
}

CtlResult ParseEq(const std::vector<std::string>& args, CommandArguments& out) {
    out.set = fx::EqSetFromText(args[0]);
    if (out.set < 0) return Usage(std::string("SET is ") + fx::kEqSetChoices + ", not " + args[0]);
    CtlResult result = ParseEqBand(args[1], out.set, out.band);
    if (!result.ok()) return result;
    out.type = fx::EqTypeFromText(args[2]);
    if (out.type < 0) return Usage("TYPE is 0..5 or OFF, PEQ, LP, HP, LS, HS, not " + args[2]);
    if (!ParseNumber(args[3], out.frequency)) return Usage("FREQ is a frequency in Hz");
    if (!ParseNumber(args[4], out.gain)) return Usage("GAIN is a number of dB");
    if (!ParseNumber(args[5], out.q)) return Usage("Q is a number");
    const std::string refusal = fx::CheckEqBandValues(out.type, out.frequency, out.gain, out.q);
    if (!refusal.empty()) return Usage(refusal);
    // The band record keeps whole hertz, tenths of a dB and thousandths of Q.
    const EqBandRecord kept = QuantiseEqBand({out.gain, out.frequency, out.q, out.type});
    WarnIfRounded("FREQ", out.frequency, kept.frequency, " Hz");
    WarnIfRounded("GAIN", out.gain, kept.gain, " dB");
    WarnIfRounded("Q", out.q, kept.q, "");
    return CtlResult::Ok();
}

CtlResult ParseMode(const std::vector<std::string>& args, CommandArguments& out) {
    out.action = args[0];
    if (out.action != "load" && out.action != "store" && out.action != "reset")
        return Usage("mode takes load, store or reset");
    int number = 0;
    if (!ParseInt(args[1], 1, kMachineModeCount, number)) return Usage("M is 1..4");
    out.mode = number - 1;
    return CtlResult::Ok();
}

CtlResult ParseArguments(const CtlOptions& options, CommandArguments& out) {
    const auto& args = options.arguments;
    const std::string& command = options.command;
    if (command == "read" || command == "write") out.path = args[0];
    if (command == "get") {
        if (args.empty() || args.size() > 2) return Usage("get takes BLOCK PARAM or NAME");
        return ParseParameter(args, args.size() == 1, out);
    }
    if (command == "set") {
        if (args.size() < 2 || args.size() > 3)
            return Usage("set takes BLOCK PARAM VALUE or NAME VALUE");
        CtlResult result = ParseParameter(args, args.size() == 2, out);
        if (!result.ok()) return result;
        const std::string& value = args.back();
        if (!ParseNumber(value, out.value)) return Usage("VALUE is a number: " + value);
        const std::string refusal = fx::CheckDspParamValue(out.block, out.parameter, out.value);
        if (!refusal.empty()) return Usage(refusal);
        WarnIfStoredOtherwise(out.block, out.parameter, out.value);
        return result;
    }
    if (command == "eq") return ParseEq(args, out);
    if (command == "mode") return ParseMode(args, out);
    if (command == "diff") return CheckDiffArguments(options);
    if (command == "eq-import" || command == "eq-export") return CheckEqFilterArguments(options);
    if (command == "machine") return CheckMachineArguments(options);
    if (command == "remote") return CheckRemoteArguments(options);
    if (IsOutputVerb(command)) return ParseOutputVerb(options, out.output);
    if (IsFeatureVerb(command)) return CheckFeatureArguments(options);
    if (IsSpeakerVerb(command)) return ParseSpeakerVerb(options, out.speaker);
    if (command == "auto-eq") return ParseAutoEqArguments(options, out.autoEq);
    return CtlResult::Ok();
}

std::string FieldText(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

CtlResult Info(CtlSession& session, int language) {
    fx::ParamStore& store = session.Store();
    CtlResult result = session.ReadAll(false);
    if (!result.ok()) return result;
    const bool compatible = IsCompatible();
    const IdentityRecord& identity = store.Identity();
    std::fprintf(CtlStdout(), "%s: %s\n", Say(language, "模块", "module"),
                 ModuleNameText().c_str());
    std::fprintf(CtlStdout(), "%s: %d\n", Say(language, "指令集版本", "command-set version"),
                 identity.commandSetVersion);
    std::fprintf(CtlStdout(), "%s: %s\n", Say(language, "MCU版本", "MCU version"),
                 FieldText(identity.firstVersion, sizeof identity.firstVersion).c_str());
    std::fprintf(CtlStdout(), "%s: %s\n", Say(language, "DSP版本", "DSP version"),
                 FieldText(identity.secondVersion, sizeof identity.secondVersion).c_str());
    std::fprintf(CtlStdout(), "%s: %s\n", Say(language, "兼容", "compatible"),
                 compatible ? Say(language, "是", "yes") : Say(language, "否", "no"));
    if (compatible)
        std::fprintf(CtlStdout(), "%s: M%d\n", Say(language, "当前模式", "current mode"),
                     store.CurrentMode().load() + 1);
    return session.CheckCompatible();
}

CtlResult Read(CtlSession& session, const std::string& path) {
    CtlResult result = session.ReadAll();
    if (!result.ok()) return result;
    const fx::FileWriteResult saved = fx::WriteModeFile(path);
    if (!saved.ok) return CtlResult::Fail(kExitFailed, CantWriteLine(saved));
    return CtlResult::Ok();
}

// The file was read and checked before anything was connected.
// "stored into M3", after write and mode store alike.
std::string StoredText(int mode, int language) {
    return Say(language, "已存入M", "stored into M") + std::to_string(mode + 1);
}

CtlResult Write(CtlSession& session, const std::string& path, const fx::ModeFileCheck& file,
                int language) {
    CtlResult result = session.ReadAll();
    if (!result.ok()) return result;
    g_PendingStoreMode() = PendingStoreModeFromFileName(path);
    fx::ApplyModeFile(file);
    result = session.WriteAll();
    if (!result.ok()) return result;
    const int mode = g_PendingStoreMode().exchange(-1);
    if (IsCompatible() && mode >= 0 && mode < kMachineModeCount) {
        // Two commands: the announcement and the store.
        result = SendConfirmed("the store into M" + std::to_string(mode + 1), 2,
                               [mode] { StoreWrittenModeFile(mode); });
        if (!result.ok()) return result;
        std::fprintf(CtlStdout(), "%s\n", StoredText(mode, language).c_str());
    }
    return CtlResult::Ok();
}

CtlResult Get(CtlSession& session, const CommandArguments& args) {
    CtlResult result = session.ReadAll();
    if (!result.ok()) return result;
    // In the unit and rounding set takes back.
    std::fprintf(
        CtlStdout(), "%s\n",
        fx::DspValueText(args.block, args.parameter, GetDspParam(args.block, args.parameter))
            .c_str());
    return CtlResult::Ok();
}

CtlResult Set(CtlSession& session, const CtlOptions& options, const CommandArguments& args) {
    CtlResult result = session.ReadAll();
    if (!result.ok()) return result;
    // One write to each block the channel links tie the parameter to.
    const int commands = static_cast<int>(fx::BlocksLinkedWith(args.block, args.parameter).size());
    return SendConfirmed(CommandText(options), commands,
                         [&] { fx::SetLinkedDspParam(args.block, args.parameter, args.value); });
}

CtlResult Eq(CtlSession& session, const CtlOptions& options, const CommandArguments& args) {
    CtlResult result = session.ReadAll();
    if (!result.ok()) return result;
    // The coefficients (a DSP write) and the band record, to each linked set.
    const int commands = 2 * static_cast<int>(fx::EqSetsLinkedWith(args.set).size());
    return SendConfirmed(CommandText(options), commands, [&] {
        fx::SetLinkedEqBand(args.set, args.band, args.type, args.frequency, args.gain, args.q);
    });
}

CtlResult Mode(CtlSession& session, const CommandArguments& args, int language) {
    CtlResult result = session.ReadAll();
    if (!result.ok()) return result;
    if (args.action == "store") {
        const std::string number = std::to_string(ClampMode(args.mode) + 1);
        result =
            SendConfirmed("the store into M" + number, 1, [&] { StoreMachineMode(args.mode); });
        // Printed once the link is let go, in the words write uses.
        if (result.ok()) session.View().ShowInfo(StoredText(ClampMode(args.mode), language), 0);
        return result;
    }
    const bool load = args.action == "load";
    const std::string what = std::string(load ? "the load of M" : "the factory reset of M") +
                             std::to_string(ClampMode(args.mode) + 1);
    return session.SwitchMode(what, [&](int timeoutMs) {
        return load ? LoadMachineModeAnswered(args.mode, timeoutMs)
                    : ResetMachineModeAnswered(args.mode, timeoutMs);
    });
}

CtlResult Dump(CtlSession& session, int language) {
    CtlResult result = session.ReadAll();
    if (!result.ok()) return result;
    std::fputs(ImageToJson(session.Store(), language).c_str(), CtlStdout());
    return CtlResult::Ok();
}

CtlResult Dispatch(CtlSession& session, const CtlOptions& options, const CommandArguments& args) {
    const std::string& command = options.command;
    if (command == "info")
        return options.json ? PrintInfoJson(session) : Info(session, options.language);
    if (command == "read") return Read(session, args.path);
    if (command == "write") return Write(session, args.path, args.modeFile, options.language);
    if (command == "get")
        return options.json ? PrintGetJson(session, args.block, args.parameter, options.language)
                            : Get(session, args);
    if (command == "set") return Set(session, options, args);
    if (command == "eq") return Eq(session, options, args);
    if (command == "mode") return Mode(session, args, options.language);
    if (command == "dump") return Dump(session, options.language);
    if (command == "diff") return RunDiff(session, options);
    if (command == "eq-import") return RunEqImport(session, options);
    if (command == "eq-export") return RunEqExport(session, options);
    if (command == "machine") return RunMachineCommand(session, options);
    if (command == "remote") return RunRemoteCommand(session, options);
    if (IsOutputVerb(command)) return RunOutputVerb(session, options, args.output);
    if (IsFeatureVerb(command)) return RunFeatureCommand(session, options);
    if (IsSpeakerVerb(command)) return RunSpeakerVerb(session, options, args.speaker);
    if (command == "auto-eq") return RunAutoEq(session, options, args.autoEq);
    return Usage("unknown command: " + command);
}

// The checks made before anything is connected: the arguments, the file a
// read saves to and the file a write sends (read into the arguments).
CtlResult PrepareCommand(const CtlOptions& options, CommandArguments& args) {
    CtlResult result = ParseArguments(options, args);
    if (!result.ok()) return result;
    if (options.command == "read") {
        const fx::FileWriteResult target = fx::CheckWriteTarget(args.path);
        if (!target.ok) return CtlResult::Fail(kExitFailed, CantWriteLine(target));
    }
    if (options.command == "write") {
        args.modeFile = fx::ReadModeFile(args.path);
        if (!args.modeFile.ok) return CtlResult::Fail(kExitBadFile, args.modeFile.message);
    }
    return CtlResult::Ok();
}

} // namespace

CtlResult CheckCtlCommand(const CtlOptions& options) {
    CommandArguments args;
    return PrepareCommand(options, args);
}

CtlResult RunCtlCommand(const CtlOptions& options) {
    // A wrong command line fails before anything is connected or sent.
    CommandArguments args;
    CtlResult result = PrepareCommand(options, args);
    if (!result.ok()) return result;
    if (IsFileDiff(options)) return RunFileDiff(options);
    if (IsAlignmentList(options)) {
        PrintAlignments();
        return CtlResult::Ok();
    }
    ApplyChannelLinks(options);
    CtlSession session(options, fx::Store());
    result = session.Connect();
    if (!result.ok()) return result;
    result = Dispatch(session, options, args);
    session.Disconnect();
    if (result.ok())
        for (const std::string& notice : session.View().TakeNotices())
            std::fprintf(CtlStdout(), "%s\n", notice.c_str());
    // A failed command's one error line says what failed (a refusal names the
    // error code); otherwise the processor's error report is shown as it came.
    const std::string errorBox = session.View().TakeErrorBox();
    if (result.ok() && !errorBox.empty())
        std::fprintf(CtlStderr(), "fxtunectl: %s\n", errorBox.c_str());
    return result;
}

CtlResult RunCtlCommandOffline(const CtlOptions& options) {
    CommandArguments args;
    const CtlResult result = ParseArguments(options, args);
    if (!result.ok()) return result;
    ApplyChannelLinks(options);
    if (options.command == "set") fx::SetLinkedDspParam(args.block, args.parameter, args.value);
    if (options.command == "eq")
        fx::SetLinkedEqBand(args.set, args.band, args.type, args.frequency, args.gain, args.q);
    return result;
}

std::string CantWriteLine(const fx::FileWriteResult& failure) {
    return "can't write to " + failure.path + ": " + failure.cause;
}
