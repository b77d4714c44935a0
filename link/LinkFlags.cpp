#include "link/LinkFlags.h"

#include "link/Link.h"

namespace fx {

LinkFlags& Flags() {
    return CurrentLink().Flags();
}

void UseLinkFlags(LinkFlags* flags) {
    CurrentLink().UseFlags(flags);
}

} // namespace fx
