#pragma once

#include "CtlOptions.h"
#include "CtlResult.h"

#include <string>

class CtlSession;

// The output-side verbs: comp (a compressor's settings), xover (the CH 6
// crossover band) and output (one output channel in words).

// The verbs' lines of the usage text.
extern const char* const kOutputVerbUsage;

bool IsOutputVerb(const std::string& command);

// The verb's arguments, checked before anything is connected or sent.
struct OutputVerbArgs {
    int index = 0; // comp: compressor 0..8; output: channel 0..7
    double threshold = 0, ratio = 0, attack = 0, release = 0;
    bool settings = false; // comp: the four settings given
    int on = -1;           // comp: switch on (1) or off (0), -1 as it is
    bool query = false;    // xover without arguments
    int alignment = 0;
    int frequency = 0;
    int lowPass = -1; // xover: 1 low-pass, 0 high-pass, -1 as the band is
};
CtlResult ParseOutputVerb(const CtlOptions& options, OutputVerbArgs& out);
// xover list: every alignment by number and name, one a line.
void PrintAlignments();
// Runs the verb after the session's connection.
CtlResult RunOutputVerb(CtlSession& session, const CtlOptions& options, const OutputVerbArgs& args);
