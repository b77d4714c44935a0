#pragma once

#include "CtlOptions.h"
#include "CtlResult.h"

#include <string>

class CtlSession;

// The speaker verbs: delay (the output channels' delays) and surround (the
// room plan: room size, listener and speaker positions, distance levels).

extern const char* const kSpeakerVerbUsage;

bool IsSpeakerVerb(const std::string& command);

// The verb's arguments, checked before anything is connected or sent.
struct SpeakerVerbArgs {
    bool query = false; // the verb alone: print
    int channel = 0;    // delay: 0..7
    double ms = -1;     // delay: -1 keep
    int mode = -1;      // delay: -1 keep, 0 high band, 1 whole channel
    int on = -1;        // delay: -1 keep, 0 off, 1 on
    std::string action; // surround: room, listener, speaker, center, reset
    int width = 0, length = 0;
    int speaker = 0; // 1..8
    double x = 0, y = 0;
};
CtlResult ParseSpeakerVerb(const CtlOptions& options, SpeakerVerbArgs& out);
// Runs the verb after the session's connection.
CtlResult RunSpeakerVerb(CtlSession& session, const CtlOptions& options,
                         const SpeakerVerbArgs& args);
