#pragma once

// Faults the simulated processor can be told to show. Replies are numbered
// from 1 in the order the processor makes them; 0 (or -1 for
// silentAfterCommands) means the fault is off.
struct SimFaults {
    int dropReplyNumber = 0;           // the Nth reply is never sent
    int ignoredCode = 0;               // commands with this code are taken in but never answered
    int refusedCode = 0;               // commands with this code are refused: an error report
                                       // (reply 10, error code 1) instead of their answer
    int replyLatencyMs = 0;            // each command takes this long to answer; the processor
                                       // answers one command after the other
    int slowReplyNumber = 0;           // the Nth reply takes slowReplyMs longer (later ones wait)
    int slowReplyMs = 2100;            // longer than the editor waits for a reply
    int slowCode = 0;                  // the replies to commands with this code take slowReplyMs
                                       // longer (later ones wait)
    int silentAfterCommands = -1;      // after N commands: no reply and no heartbeat any more
    int corruptChecksumNumber = 0;     // network: the Nth reply frame carries a wrong checksum
    int damagedReplyNumber = 0;        // the Nth reply comes right behind a damaged copy of itself:
                                       // network: its frame cut short, in the same write;
                                       // USB: a report with its reply code cleared
    int heartbeatAfterReplyNumber = 0; // network: "$HB$" glued behind the Nth reply frame
    int pieceSize = 0;                 // network: frames leave in pieces of this many bytes
    int pieceGapMs = 2;                // network: pause between two pieces
};
