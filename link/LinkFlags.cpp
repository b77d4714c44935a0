#include "link/LinkFlags.h"

namespace fx {
namespace {

LinkFlags& OwnFlags() {
    static LinkFlags flags;
    return flags;
}

std::atomic<LinkFlags*> g_flags{nullptr};

} // namespace

LinkFlags& Flags() {
    LinkFlags* flags = g_flags.load(std::memory_order_acquire);
    return flags ? *flags : OwnFlags();
}

void UseLinkFlags(LinkFlags* flags) {
    g_flags.store(flags, std::memory_order_release);
}

} // namespace fx
