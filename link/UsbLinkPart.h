#pragma once

#include "link/HidDevice.h"
#include "link/LinkThreads.h"

#include <atomic>
#include <memory>
#include <string>

namespace fx {

// A link's USB side: the opened device and its path (guarded by the link's
// send lock: writers use the device under it, the reader holds its own
// reference), the count of opens (a reader only serves the link it was
// started for) and the reader threads (link/UsbLink.h works on it). Its link
// stops the reader before it goes (Link::Shutdown).
class UsbLinkPart {
public:
    UsbLinkPart() = default;
    UsbLinkPart(const UsbLinkPart&) = delete;
    UsbLinkPart& operator=(const UsbLinkPart&) = delete;

    std::shared_ptr<IHidDevice> device;
    std::string devicePath;
    // The interface to open (a daemon holding several processors names
    // each one's); empty: the first processor found.
    std::string wantedPath;
    std::atomic<unsigned> linkNumber{0};
    LinkThreads readers;
};

} // namespace fx
