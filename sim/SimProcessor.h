#pragma once

#include "sim/SimFaults.h"
#include "state/DeviceMirrors.h"
#include "state/ParamImage.h"
#include "state/SurroundVolume.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What the simulated processor reports about itself.
struct SimIdentity {
    std::string moduleName = "ARN63";
    int commandSetVersion = 19;
    std::string firstVersion = "2019-06-18";
    std::string secondVersion = "2019-07-02";
};

// One record: a command as the editor built it (no report id, no network tag)
// or a reply (byte 0 prefix, byte 1 code, ...).
using SimRecord = std::vector<uint8_t>;

// A reply on its way out: its number (counted from the processor's start),
// when it is due, and the wire faults that touch it.
struct SimReply {
    SimRecord record;
    int number = 0;
    std::chrono::steady_clock::time_point due;
    bool damagedBefore = false;  // a damaged copy of it goes first
    bool heartbeatAfter = false; // network: "$HB$" follows it in the same write
};

// How the processor acknowledges a change (a command that answers with no
// data): Echo repeats the command's code (and the address and length of an
// addressed command); Generic answers reply 20 with the command's code in
// byte 2; Dsp answers a DSP write with reply 9 and the rest as Generic. The
// learn command is answered by the learned key (reply 96); a Generic or Dsp
// processor acknowledges it at once with reply 20 as well.
enum class SimAckStyle { Echo, Generic, Dsp };

// Byte 0 of every reply record (the input report id on USB).
constexpr uint8_t kSimReplyPrefix = 0x01;
constexpr int kSimModeCount = 4;
constexpr int kSimRemoteKeyCount = 17;

// The simulated processor: its parameter memory, the four machine modes, its
// identity and small memories, and the answer to every command. It knows
// nothing of transports; the TCP server and the virtual HID device feed it
// command records and send what it returns. Thread-safe.
class SimProcessor {
public:
    using Image = std::array<uint8_t, kImageSize>;
    using ReplySink = std::function<void(const SimRecord&)>;
    using CommandObserver = std::function<void(const uint8_t* record, int count)>;

    // Memory and modes start as the editor's default image.
    SimProcessor();
    // Memory and modes start as (and factory resets restore) the given image.
    explicit SimProcessor(const Image& factoryImage);
    ~SimProcessor();
    SimProcessor(const SimProcessor&) = delete;
    SimProcessor& operator=(const SimProcessor&) = delete;

    // The editor's default image, built once per process.
    static const Image& DefaultImage();
    // Offset of the first value of the DSP record for block and parameter in
    // image, found by walking the record chain; -1 when there is none.
    // valueCount receives the record's value count.
    static int FindDspValueOffset(const Image& image, int block, int parameter,
                                  int* valueCount = nullptr);
    // The meaningful length of a command record (a USB report carries zeros
    // after it), never more than count.
    static int CommandLength(const uint8_t* record, int count);

    // Handles one command record and returns the replies to send, in order.
    std::vector<SimRecord> HandleCommand(const uint8_t* record, int count);
    // The same for a transport: the replies with when they are due (the
    // processor answers one command after the other, each taking the reply
    // latency) and the faults the transport shows on the wire.
    std::vector<SimReply> Answer(const uint8_t* record, int count);
    // When a reply made now without a command (a learned key) is due.
    std::chrono::steady_clock::time_point UnsolicitedDue();

    // Replies that come without a command (a learned remote key) go to the
    // sink; the transport hosting the processor installs it.
    void SetReplySink(ReplySink sink);
    // Called for every command as it arrives, on the transport's thread.
    void SetCommandObserver(CommandObserver observer);

    // Remote learning. A press answers the pending learn command with reply
    // 96; false when no key is being learned. code < 0 uses 0x40 + key.
    bool PressRemoteKey(int code = -1);
    // Presses the key by itself delayMs after each learn command (-1: never).
    void SetAutoKeyPress(int delayMs, int code = -1);
    int LearningKey() const; // 1..17 (or as sent), -1 when not learning
    void SetCodeSetByte(uint8_t codeSet);

    void SetAckStyle(SimAckStyle style);

    // Faults. Counters of commands and replies run from the processor's start.
    void SetFaults(const SimFaults& faults);
    SimFaults Faults() const;
    // Replies numbered so far: a fault meant for the Nth reply from now is
    // set at ReplyCount() + N.
    int ReplyCount() const;
    void DropNextReply();
    // Loses the replies to commands starting with these bytes, `times` times
    // (-1: every time); an empty start stops it.
    void LoseRepliesTo(std::vector<uint8_t> commandStart, int times = -1);
    void SetSilent(bool silent);
    bool IsSilent() const;
    int ReplyLatencyMs() const;

    void SetIdentity(const SimIdentity& identity);
    SimIdentity Identity() const;

    Image Memory() const;
    void SetMemory(const Image& image);
    Image ModeImage(int mode) const;
    int CurrentMode() const;
    std::array<uint8_t, kMachineSettingsSize> MachineSettings() const;
    void SetMachineSettings(const std::array<uint8_t, kMachineSettingsSize>& settings);
    std::array<uint8_t, kRemoteKeyBlockSize> RemoteKeys() const;
    void SetRemoteKeys(const std::array<uint8_t, kRemoteKeyBlockSize>& keys);
    // The status block the next status request would report (meters move
    // with every request).
    std::array<uint8_t, kStatusBlockSize> StatusBlock() const;
    void SetStreamFormat(int index);
    int PitchByte() const;
    bool LetGoReceived() const;
    // The source the last locate request asked to identify (0..7), or
    // kLocateNone.
    int LocatedSource() const;

    // The command log (each record cut to its meaningful length).
    std::vector<SimRecord> ReceivedCommands() const;
    size_t CommandCount() const;
    // The commands in the log that start with these bytes.
    size_t CountCommands(const std::vector<uint8_t>& commandStart) const;
    // Waits until at least count commands have come in total.
    bool WaitForCommandCount(size_t count, int timeoutMs) const;
    // Waits until a command with this code is in the log.
    bool WaitForCommand(uint8_t code, int timeoutMs) const;
    void ClearCommandLog();

private:
    using Lock = std::unique_lock<std::mutex>;

    std::vector<SimRecord> Dispatch(const uint8_t* record, int count);
    // Numbers the replies and drops the ones the faults lose.
    // commandCode: what the replies answer (0 for none); an ignored code
    // silences both the replies to that command and replies with that code.
    std::vector<SimReply> FilterReplies(std::vector<SimRecord> replies, uint8_t commandCode = 0);
    // The acknowledgement of a change in the chosen style; addressed: an echo
    // repeats the command's address and length too.
    SimRecord AckLocked(const uint8_t* record, int count, bool addressed) const;
    // Takes the processor's time for one command: its replies are due after
    // the previous ones and the latency (plus extraMs).
    std::chrono::steady_clock::time_point ScheduleLocked(int extraMs);
    bool SilentLocked() const;
    // Whether the replies to this command are to be lost (and counts it).
    bool LosesRepliesLocked(const uint8_t* record, int count);
    int PitchByteLocked() const;
    void LogCommand(const uint8_t* record, int count);
    void ApplyDspWrite(const uint8_t* record, int count);
    SimRecord ReadChunk(int address, int length) const;
    void WriteMemory(int address, const uint8_t* data, int length, int limit);
    SimRecord TextReply(uint8_t code, const std::string& text, int fieldSize) const;
    std::array<uint8_t, kStatusBlockSize> StatusBlockLocked(unsigned phase) const;
    void StartLearning(int key);
    void ResetToFactory();
    void DeliverUnsolicited(const SimRecord& reply);
    void AutoPressThreadProc();

    const Image m_factory;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_logChanged;
    Image m_memory;
    std::array<Image, kSimModeCount> m_modes;
    int m_currentMode = 0;
    SimIdentity m_identity;
    std::array<uint8_t, kMachineSettingsSize> m_machineSettings;
    std::array<uint8_t, kRemoteKeyBlockSize> m_remoteKeys;
    uint8_t m_codeSet = 0x20;
    int m_streamFormat = 0;
    unsigned m_statusPhase = 0;
    bool m_letGo = false;
    int m_locatedSource = kLocateNone;
    SimAckStyle m_ackStyle = SimAckStyle::Echo;

    SimFaults m_faults;
    size_t m_commandTotal = 0;
    size_t m_replyTotal = 0;
    std::chrono::steady_clock::time_point m_busyUntil{};
    bool m_dropNext = false;
    std::vector<uint8_t> m_loseStart;
    int m_loseTimes = 0;
    bool m_silent = false;
    std::deque<SimRecord> m_log;

    int m_learningKey = -1;
    unsigned m_learnGeneration = 0;
    int m_autoPressDelayMs = -1;
    int m_autoPressCode = -1;
    bool m_stopping = false;
    std::condition_variable m_learnChanged;
    std::thread m_autoPressThread;

    std::mutex m_sinkMutex; // held while a sink or observer runs
    ReplySink m_sink;
    CommandObserver m_observer;
};
