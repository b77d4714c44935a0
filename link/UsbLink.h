#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The USB HID transport: one reader thread hands every input report to
// ProcessDeviceReply; the link's outbox writes the senders' records as
// 61-byte output reports. HID access goes through the installed IHidBackend
// (link/HidDevice.h).

// Vendor and product identifiers of the processor.
constexpr uint16_t kProcessorVendorId = 0x2010;
constexpr uint16_t kProcessorProductId = 0x1031;
// Only the first interfaces of the enumeration are looked at.
constexpr int kMaxHidInterfaces = 32;

// Opens the link: the network one (NetLink.h, to the target set with
// SetNetTarget) when g_bNetMode is set, else the USB device. Returns 1 when
// opened, 0 when already connected or nothing could be opened.
int OpenDeviceLink();

// Registers for notices, finds the processor among the first 32 HID
// interfaces and opens it. 1 when opened, else 0.
int FindAndOpenHidDevice();

// The paths of every processor among the first 32 HID interfaces (each is
// opened for its identifiers and closed again).
std::vector<std::string> FindProcessorInterfaces();

// The reader thread's body (OpenDeviceLink starts it).
void ReadUsbThreadProc();

// Writes one 61-byte output report (id 2, the bytes, zeros) at once; the
// link's outbox paces the records it writes this way. Returns 61, or the
// count written (0 when the link is closed or the reader has ended).
int WriteUsbDataNoWait(const uint8_t* bytes, int count);

// Closes the link after a removal (no let-go command). Nothing when closed.
void CloseUsbLink();
// Closes the link after sending the let-go command 138. Nothing when closed.
void DisconnectUsb();

// Makes arrival and removal notices of HID interfaces reach the listener
// installed with SetHidNoticeListener: starts the udev monitor when the
// hidapi backend is in use (other backends raise their own notices). Returns
// false when the notices cannot be received.
bool RegisterDeviceArrival();
// Stops the udev monitor (closing the editor, tests).
void UnregisterDeviceArrival();

// The interface path of the opened device (empty when none), kept to match a
// removal notice.
std::string UsbDevicePath();
