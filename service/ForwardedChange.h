#pragma once

#include <cstdint>

// What a command a client sent through the forwarding port did to the
// processor, once the processor answered it, taken into the daemon's store:
// the store keeps in step with the processor without reading it again,
// except after the few commands that replace the whole memory.
namespace fx {

class Processor;

enum class ForwardedEffect {
    None,    // a request: nothing changed
    Applied, // a change, now in the store (or one that leaves nothing in it)
    Reread,  // a mode load or reset: the store reads the processor again
};

// Applies the effect of an answered command record (code first) to the
// processor's store, under its state lock, with its edit observer told.
// Bytes the record does not carry change nothing.
ForwardedEffect ApplyForwardedChange(Processor& processor, const uint8_t* record, int count);

} // namespace fx
