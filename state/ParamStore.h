#pragma once

#include "link/DeviceRecords.h"
#include "link/LinkFlags.h"
#include "link/ReplySink.h"
#include "state/ParamImage.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace fx {

class Link;

// The editor values drawn from the image (state/ParamImage.h names them).
struct EditorValues {
    int dspInt[kDspVarBlocks][kDspVarParameters] = {};
    float dspFloat[kDspVarBlocks][kDspVarParameters] = {};
    int outputInt[kOutputVarParameters][kOutputVarChannels] = {};
    float outputFloat[kOutputVarParameters][kOutputVarChannels] = {};
    int musicPitch = 0;
    SurroundLayout surroundLayout = {};
    CompressorValues compressor[9] = {};
    bool wholeChannelDelay[8] = {};
    CompressorValues autoLevel = {};
    float panelLevel = 0;
    double shiftFrequencyA = 0;
    double shiftFrequencyB = 0;
};

// The one owner of what the editor knows of the processor: the parameter
// image, the panel working copy, the editor values drawn from them, the
// identity, the mirrors of the small memories and the link's flags. It takes the processor's
// replies (IReplySink) and applies them on the state thread under the state lock; the image
// operations (state/ParamImage.h) change it the same way and report every change to the edit
// observer (state/ImageEdits.h).
class ParamStore final : public IReplySink {
public:
    // A store on its own: the link neither sees its flags nor reports to it
    // until it is attached (the process's store is).
    ParamStore();
    ParamStore(const ParamStore&) = delete;
    ParamStore& operator=(const ParamStore&) = delete;

    uint8_t (&Image())[kImageSize] { return m_image; }
    const uint8_t (&Image() const)[kImageSize] { return m_image; }
    uint8_t (&Panel())[kPanelSize] { return m_panel; }
    const uint8_t (&Panel() const)[kPanelSize] { return m_panel; }
    IdentityRecord& Identity() { return m_identity; }
    const IdentityRecord& Identity() const { return m_identity; }
    uint8_t (&StatusBlock())[kStatusBlockSize] { return m_status; }
    std::atomic<int>& CurrentMode() { return m_currentMode; }
    int CurrentMode() const { return m_currentMode.load(); }
    uint8_t (&RemoteKeyBlock())[kRemoteKeyBlockSize] { return m_remoteKeys; }
    const uint8_t (&RemoteKeyBlock() const)[kRemoteKeyBlockSize] { return m_remoteKeys; }
    uint8_t (&MachineSettingsDevice())[kMachineSettingsSize] { return m_settingsDevice; }
    const uint8_t (&MachineSettingsDevice() const)[kMachineSettingsSize] {
        return m_settingsDevice;
    }
    uint8_t (&MachineSettingsWork())[kMachineSettingsSize] { return m_settingsWork; }
    LinkFlags& Link() { return m_link; }
    EditorValues& Values() { return m_values; }
    const EditorValues& Values() const { return m_values; }
    // Hands the link this store's flags and makes it the sink of its replies.
    void AttachTo(fx::Link& link);
    // Clears the status block (a change of the state thread): nothing reports
    // it while no link is open or a job runs.
    void ClearStatus();

    // IReplySink: called on a reader thread.
    void StatusReceived(const std::array<uint8_t, kStatusBlockSize>& status) override;
    void CurrentModeReceived(int mode) override;
    void ParameterWritten() override;
    void ModeLoaded() override;
    void IdentityReceived(std::function<void(IdentityRecord&)> update) override;
    void ImageChunkReceived(int address, int length, const uint8_t* data, int available) override;
    void PanelChunkReceived(int address, int length, const uint8_t* data, int available) override;
    void LearnedKeyReceived(uint8_t first, uint8_t slot, uint8_t code) override;
    void RemoteKeysReceived(const uint8_t* keys, int available) override;
    void
    MachineSettingsReceived(const std::array<uint8_t, kMachineSettingsSize>& settings) override;
    void LinkClosed() override;

private:
    void StorePanelChunk(int address, const std::vector<uint8_t>& data, bool clearBands);

    uint8_t m_image[kImageSize] = {};
    uint8_t m_panel[kPanelSize] = {};
    IdentityRecord m_identity = {};
    uint8_t m_status[kStatusBlockSize] = {};
    std::atomic<int> m_currentMode{0};
    uint8_t m_remoteKeys[kRemoteKeyBlockSize] = {};
    // Until the processor reports, both maxima allow every volume.
    uint8_t m_settingsDevice[kMachineSettingsSize] = {0, 0, 0, 0, 0, 99, 99};
    uint8_t m_settingsWork[kMachineSettingsSize] = {};
    LinkFlags m_link;
    EditorValues m_values;
};

// The current processor's store (state/Processor.h): the editor's, or the
// one of the processor bound to the calling thread.
ParamStore& Store();

} // namespace fx
