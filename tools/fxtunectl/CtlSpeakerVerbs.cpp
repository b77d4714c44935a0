#include "CtlSpeakerVerbs.h"

#include "CtlConfirm.h"
#include "CtlNumbers.h"
#include "CtlOutput.h"
#include "CtlSession.h"
#include "CtlWarnings.h"
#include "CtlWords.h"

#include "link/ReplyDispatcher.h"
#include "state/ChannelLinks.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"
#include "state/SurroundVolume.h"
#include "state/ValueRanges.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

const char* const kSpeakerVerbUsage =
    "  delay [CH [MS] [whole|high] [on|off]]\n"
    "                                print every output's delay, or change output CH's\n"
    "                                (1..8): its time MS (1.33..100 ms; a time switches\n"
    "                                the delay on unless off is given), whole-channel or\n"
    "                                high-band delay, and its switch\n"
    "  surround                      the room plan: room, listener, and each speaker's\n"
    "                                place, distance, level and the output carrying it\n"
    "  surround room W L             room size in metres (1..10 each)\n"
    "  surround listener X Y         listener's place in metres from the room's centre\n"
    "  surround speaker K X Y        speaker K's place (1..8: L CEN R SBL SUB SBR SL SR)\n"
    "  surround center               listener to the centre\n"
    "  surround reset                every level to 0 dB, the default room plan\n";

namespace {

constexpr double kLargestHalfRoom = kRoomSizeMax / 2.0;

CtlResult Refuse(const std::string& what) {
    return CtlResult::Fail(kExitUsage, what);
}

// After CH: MS first when given, then whole|high and on|off in any order,
// each once. A time without on|off switches the delay on.
CtlResult ParseDelay(const std::vector<std::string>& args, SpeakerVerbArgs& out) {
    out.query = args.empty();
    if (out.query) return CtlResult::Ok();
    if (args.size() < 2 || args.size() > 4) return Refuse("wrong number of arguments for delay");
    if (!WholeWithin(args[0], 1, kOutputChannelCount, out.channel)) return Refuse("CH is 1..8");
    --out.channel;
    size_t next = 1;
    const bool word =
        args[1] == "whole" || args[1] == "high" || args[1] == "on" || args[1] == "off";
    if (!word) {
        const auto range = fx::DspParamRange(OutputBlock(out.channel), OUT_DELAY_TIME);
        if (!range || !NumberWithin(args[1], range->low, range->high, out.ms))
            return Refuse("MS is " + (range ? range->Text() : std::string("not set by value")));
        // Whole samples of 1/48 ms: said when what delay prints differs.
        WarnIfRounded("MS", out.ms, std::strtod(fx::MillisecondsText(out.ms).c_str(), nullptr),
                      " ms");
        next = 2;
    }
    for (; next < args.size(); ++next) {
        const std::string& arg = args[next];
        if ((arg == "whole" || arg == "high") && out.mode < 0)
            out.mode = arg == "whole" ? 1 : 0;
        else if ((arg == "on" || arg == "off") && out.on < 0)
            out.on = arg == "on" ? 1 : 0;
        else
            return Refuse("after MS come whole or high and on or off, each once, not " + arg);
    }
    if (out.ms >= 0 && out.on < 0) out.on = 1;
    return CtlResult::Ok();
}

// A place within the largest room; whether it lies in the processor's room
// is known after the read.
CtlResult ParsePlace(const std::string& x, const std::string& y, SpeakerVerbArgs& out) {
    if (!NumberWithin(x, -kLargestHalfRoom, kLargestHalfRoom, out.x) ||
        !NumberWithin(y, -kLargestHalfRoom, kLargestHalfRoom, out.y))
        return Refuse("X and Y are metres from the room's centre, -5..5");
    // The room plan keeps tenths of a metre.
    WarnIfRounded("X", out.x, DecodeSignedTenths(EncodeSignedTenths(out.x)), " m");
    WarnIfRounded("Y", out.y, DecodeSignedTenths(EncodeSignedTenths(out.y)), " m");
    return CtlResult::Ok();
}

CtlResult ParseSurround(const std::vector<std::string>& args, SpeakerVerbArgs& out) {
    out.query = args.empty();
    if (out.query) return CtlResult::Ok();
    out.action = args[0];
    const size_t wanted = out.action == "room"                              ? 3
                          : out.action == "listener"                        ? 3
                          : out.action == "speaker"                         ? 4
                          : out.action == "center" || out.action == "reset" ? 1
                                                                            : 0;
    if (wanted == 0) return Refuse("surround takes room, listener, speaker, center or reset");
    if (args.size() != wanted)
        return Refuse("wrong number of arguments for surround " + out.action);
    if (out.action == "room") {
        if (!WholeWithin(args[1], kRoomSizeMin, kRoomSizeMax, out.width) ||
            !WholeWithin(args[2], kRoomSizeMin, kRoomSizeMax, out.length))
            return Refuse("W and L are whole metres, 1..10");
        return CtlResult::Ok();
    }
    if (out.action == "listener") return ParsePlace(args[1], args[2], out);
    if (out.action == "speaker") {
        if (!WholeWithin(args[1], 1, kSpeakerCount, out.speaker)) return Refuse("K is 1..8");
        return ParsePlace(args[2], args[3], out);
    }
    return CtlResult::Ok();
}

// ---------------------------------------------------------------- words

std::string ChannelWords(int channel, int language) {
    return Say(language, "通道", "CH ") + std::to_string(channel + 1);
}

void PrintDelays(int language) {
    for (int channel = 0; channel < kOutputChannelCount; ++channel) {
        const int block = OutputBlock(channel);
        const bool on = GetDspParam(block, OUT_DELAY_BYPASS) == 0;
        std::fprintf(CtlStdout(), "%s: %s ms, %s, ", ChannelWords(channel, language).c_str(),
                     fx::MillisecondsText(GetDspParam(block, OUT_DELAY_TIME), 1).c_str(),
                     on ? Say(language, "开", "on") : Say(language, "关", "off"));
        if (g_WholeChannelDelay()[channel])
            std::fprintf(CtlStdout(), "%s\n", Say(language, "通道延时", "whole channel"));
        else
            std::fprintf(CtlStdout(),
                         Say(language, "高频延时 %d Hz 以上\n", "high band above %d Hz\n"),
                         SplitFreqTable[SplitRowOfChannel(channel)].splitHz);
    }
}

void PrintSurround(int language) {
    std::fprintf(CtlStdout(), "%s: %d x %d m\n", Say(language, "房间", "room"), RoomWidth(),
                 RoomLength());
    const RoomPoint listener = ListenerPosition();
    std::fprintf(CtlStdout(), "%s: %+.1f, %+.1f m\n", Say(language, "听众", "listener"), listener.x,
                 listener.y);
    for (int k = 1; k <= kSpeakerCount; ++k) {
        const RoomPoint at = SpeakerPosition(k);
        const SpeakerFacts& speaker = kSpeakers[k - 1];
        const char* name = language == 0 ? kOutputSourceNames[speaker.source].zh : speaker.code;
        std::fprintf(CtlStdout(),
                     Say(language, "音箱%d %s: %+.1f, %+.1f m, 距离 %.2f m, %+.2f dB, ",
                         "speaker %d %s: %+.1f, %+.1f m, %.2f m away, %+.2f dB, "),
                     k, name, at.x, at.y, SpeakerDistance(k), DistanceLevelDb(k));
        const int channel = ChannelCarryingSource(speaker.source);
        if (channel < 0)
            std::fprintf(CtlStdout(), "%s\n", Say(language, "无通道输出", "no output carries it"));
        else
            std::fprintf(CtlStdout(), "%s\n", ChannelWords(channel, language).c_str());
    }
}

// ---------------------------------------------------------------- verbs

// A speaker's level goes out as two commands (the level block and the
// record) when an output carries its source, else not at all.
int LevelWrites(int speaker) {
    return ChannelCarryingSource(kSpeakers[speaker - 1].source) >= 0 ? 1 : 0;
}

int AllLevelWrites() {
    int writes = 0;
    for (int k = 1; k <= kSpeakerCount; ++k) writes += LevelWrites(k);
    return writes;
}

CtlResult Delay(const CtlOptions& options, const SpeakerVerbArgs& args) {
    if (args.query) {
        PrintDelays(options.language);
        return CtlResult::Ok();
    }
    // The time and the switch one write each; a mode its weights and the two
    // split filters (coefficients and band record each). Each to every
    // channel linked with it.
    const int perChannel =
        (args.ms >= 0 ? 1 : 0) + (args.on >= 0 ? 1 : 0) + (args.mode >= 0 ? 1 + 2 * 2 : 0);
    const int commands = perChannel * static_cast<int>(fx::ChannelsLinkedWith(args.channel).size());
    return SendConfirmed(CommandText(options), commands, [&] {
        const fx::ImageEditScope oneEdit;
        const int block = OutputBlock(args.channel);
        if (args.ms >= 0) fx::SetLinkedDspParam(block, OUT_DELAY_TIME, args.ms);
        if (args.on >= 0) fx::SetLinkedDspParam(block, OUT_DELAY_BYPASS, args.on == 1 ? 0 : 1);
        if (args.mode >= 0) fx::SetLinkedDelayMode(args.channel, args.mode == 1);
    });
}

CtlResult Surround(const CtlOptions& options, const SpeakerVerbArgs& args) {
    if (args.query) {
        PrintSurround(options.language);
        return CtlResult::Ok();
    }
    const bool moves = args.action == "listener" || args.action == "speaker";
    if (moves && !InsideRoom(args.x, args.y)) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "%+.1f, %+.1f m lies outside the %d x %d m room (x %.1f..%.1f, y %.1f..%.1f)",
                      args.x, args.y, RoomWidth(), RoomLength(), -RoomWidth() / 2.0,
                      RoomWidth() / 2.0, -RoomLength() / 2.0, RoomLength() / 2.0);
        return Refuse(text);
    }
    const std::string what = CommandText(options);
    if (args.action == "room")
        return SendConfirmed(what, 1, [&] { SetSurroundRoom(args.width, args.length); });
    if (args.action == "listener") {
        const int levels = AllLevelWrites();
        return SendConfirmed(what, 1 + 2 * levels, [&] { MoveListener(args.x, args.y); });
    }
    if (args.action == "speaker") {
        const int levels = LevelWrites(args.speaker);
        return SendConfirmed(what, 1 + 2 * levels,
                             [&] { MoveSpeaker(args.speaker, args.x, args.y); });
    }
    if (args.action == "center") {
        const int levels = AllLevelWrites();
        return SendConfirmed(what, 2 + 2 * levels, [] { CentreListener(); });
    }
    // Every output's level block and record, then the layout.
    return SendConfirmed(what, 2 * kOutputChannelCount + 1, [] { ResetSurround(); });
}

} // namespace

bool IsSpeakerVerb(const std::string& command) {
    return command == "delay" || command == "surround";
}

CtlResult ParseSpeakerVerb(const CtlOptions& options, SpeakerVerbArgs& out) {
    if (options.command == "delay") return ParseDelay(options.arguments, out);
    return ParseSurround(options.arguments, out);
}

CtlResult RunSpeakerVerb(CtlSession& session, const CtlOptions& options,
                         const SpeakerVerbArgs& args) {
    CtlResult result = session.ReadAll();
    if (!result.ok()) return result;
    return options.command == "delay" ? Delay(options, args) : Surround(options, args);
}
