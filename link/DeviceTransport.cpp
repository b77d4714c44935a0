#include "link/DeviceTransport.h"

#include "link/NetLink.h"
#include "link/UsbLink.h"

int DeviceTransport::WriteUsbData(const uint8_t* bytes, int count) {
    return ::WriteUsbData(bytes, count);
}

int DeviceTransport::WriteUsbDataNoWait(const uint8_t* bytes, int count) {
    return ::WriteUsbDataNoWait(bytes, count);
}

int DeviceTransport::NetSendSync(const uint8_t* payload, int count) {
    return ::NetSendSync(payload, count);
}

int DeviceTransport::NetSendFrame(const uint8_t* payload, int count) {
    return ::NetSendFrame(payload, count);
}

void DeviceTransport::NetEnqueue(const NetQueueKey& key, const uint8_t* payload, int count) {
    ::NetEnqueue(key, payload, count);
}

ILinkTransport& DefaultLinkTransport() {
    static DeviceTransport transport;
    return transport;
}
