#pragma once

// Faults the simulated processor can be told to show. All numbers count from 1;
// 0 (or -1 for silentAfterCommands) means the fault is off.
struct SimFaults {
    int dropReplyNumber = 0;       // the Nth reply is never sent
    int ignoredCode = 0;           // commands with this code are taken in but never answered
    int replyLatencyMs = 0;        // every reply leaves this long after its command came
    int silentAfterCommands = -1;  // after N commands: no reply and no heartbeat any more
    int corruptChecksumNumber = 0; // network: the Nth reply frame carries a wrong checksum
    int pieceSize = 0;             // network: frames leave in pieces of this many bytes
    int pieceGapMs = 2;            // network: pause between two pieces
};
