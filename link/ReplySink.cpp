#include "link/ReplySink.h"

#include <atomic>

namespace fx {
namespace {

// Takes every reply and keeps nothing.
class NoReplySink final : public IReplySink {
public:
    void StatusReceived(const std::array<uint8_t, kStatusBlockSize>&) override {}
    void CurrentModeReceived(int) override {}
    void ParameterWritten() override {}
    void ModeLoaded() override {}
    void IdentityReceived(std::function<void(IdentityRecord&)>) override {}
    void ImageChunkReceived(int, int, const uint8_t*, int) override {}
    void PanelChunkReceived(int, int, const uint8_t*, int) override {}
    void LearnedKeyReceived(uint8_t, uint8_t, uint8_t) override {}
    void RemoteKeysReceived(const uint8_t*, int) override {}
    void MachineSettingsReceived(const std::array<uint8_t, kMachineSettingsSize>&) override {}
    void LinkClosed() override {}
};

std::atomic<IReplySink*> g_sink{nullptr};

} // namespace

IReplySink& DeviceReplies() {
    static NoReplySink none;
    IReplySink* sink = g_sink.load(std::memory_order_acquire);
    return sink ? *sink : none;
}

void SetReplySink(IReplySink* sink) {
    g_sink.store(sink, std::memory_order_release);
}

} // namespace fx
