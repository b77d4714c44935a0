#pragma once

#include "link/CommandFrames.h"

// The real transport behind the senders: forwards to the USB and network
// link functions. LinkTransport() returns it unless another one is installed.
class DeviceTransport : public ILinkTransport {
public:
    int WriteUsbData(const uint8_t* bytes, int count) override;
    int WriteUsbDataNoWait(const uint8_t* bytes, int count) override;
    int NetSendSync(const uint8_t* payload, int count) override;
    int NetSendFrame(const uint8_t* payload, int count) override;
    void NetEnqueue(const NetQueueKey& key, const uint8_t* payload, int count) override;
};

ILinkTransport& DefaultLinkTransport();
