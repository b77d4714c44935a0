#include "sim/SimProcessor.h"

#include "link/CommandFrames.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>

namespace {

constexpr size_t kCommandLogLimit = 100000;
constexpr int kChunkMax = 56;
constexpr int kModuleNameField = 32;
constexpr int kVersionField = 11;
constexpr uint8_t kResetConfirm = 170;

SimRecord MakeReply(uint8_t code, std::initializer_list<uint8_t> rest = {}) {
    SimRecord reply{kSimReplyPrefix, code};
    reply.insert(reply.end(), rest.begin(), rest.end());
    // Every reply carries at least the head of a record: code, address, length.
    if (reply.size() < 5) reply.resize(5, 0);
    return reply;
}

constexpr uint8_t kGenericAck = 20;
constexpr uint8_t kErrorReport = 10;
constexpr uint8_t kRefusalError = 1;

std::array<uint8_t, kMachineSettingsSize> FactoryMachineSettings() {
    std::array<uint8_t, kMachineSettingsSize> settings{};
    settings[5] = 99; // microphone maximum volume
    settings[6] = 99; // music maximum volume
    return settings;
}

std::array<uint8_t, kRemoteKeyBlockSize> FactoryRemoteKeys() {
    std::array<uint8_t, kRemoteKeyBlockSize> keys{};
    keys[0] = 0x20;
    for (int key = 1; key <= kSimRemoteKeyCount; ++key) keys[key] = static_cast<uint8_t>(key);
    return keys;
}

// A triangle wave 0..100 for the moving meters.
uint8_t MeterLevel(unsigned phase, unsigned channel) {
    const unsigned position = (phase * 7 + channel * 23) % 200;
    return static_cast<uint8_t>(position <= 100 ? position : 200 - position);
}

bool IsModeNumber(const uint8_t* record, int count) {
    return count >= 2 && record[1] < 4;
}

} // namespace

SimProcessor::SimProcessor() : SimProcessor(DefaultImage()) {}

SimProcessor::SimProcessor(const Image& factoryImage)
    : m_factory(factoryImage), m_memory(factoryImage), m_machineSettings(FactoryMachineSettings()),
      m_remoteKeys(FactoryRemoteKeys()) {
    m_modes.fill(factoryImage);
    m_codeSet = m_remoteKeys[0];
}

SimProcessor::~SimProcessor() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_learnChanged.notify_all();
    if (m_autoPressThread.joinable()) m_autoPressThread.join();
}

const SimProcessor::Image& SimProcessor::DefaultImage() {
    static const Image image = DefaultImageBytes();
    return image;
}

int SimProcessor::FindDspValueOffset(const Image& image, int block, int parameter,
                                     int* valueCount) {
    int found = -1;
    WalkDspRecords(image.data(), [&](const DspRecordView& record) {
        if (record.block != block || record.parameter != parameter) return true;
        if (valueCount) *valueCount = record.count;
        found = record.offset + 3;
        return false;
    });
    return found;
}

int SimProcessor::CommandLength(const uint8_t* record, int count) {
    if (count <= 0) return 0;
    int length = count;
    switch (record[0]) {
    case CMD_DSP_WRITE:
        length = count >= 5 ? 5 + 4 * record[4] : count;
        break;
    case CMD_READ_IMAGE:
        length = 4;
        break;
    case CMD_WRITE_IMAGE:
    case CMD_WRITE_PANEL:
        length = count >= 4 ? 4 + record[3] : count;
        break;
    case CMD_WRITE_REMOTE_KEYS:
        length = 1 + kRemoteKeyBlockSize;
        break;
    case CMD_WRITE_MACHINE_SETTINGS:
        length = 1 + kMachineSettingsSize;
        break;
    case CMD_ANNOUNCE_STORE:
    case CMD_STORE_MODE:
    case CMD_LOAD_MODE:
    case CMD_RESET_MODE:
    case CMD_LEARN_KEY:
    case CMD_RESET_PROCESSOR:
        length = 2;
        break;
    case CMD_GET_MODE:
    case CMD_GET_STATUS:
    case CMD_WRITE_IMAGE_END:
    case CMD_ABANDON_LEARN:
    case CMD_GET_REMOTE_KEYS:
    case CMD_GET_VERSION2:
    case CMD_GET_CMD_VERSION:
    case CMD_GET_MODULE_NAME:
    case CMD_GET_VERSION1:
    case CMD_LET_GO:
    case CMD_GET_MACHINE_SETTINGS:
        length = 1;
        break;
    default:
        break;
    }
    return std::min(length, count);
}

std::vector<SimRecord> SimProcessor::HandleCommand(const uint8_t* record, int count) {
    std::vector<SimRecord> records;
    for (SimReply& reply : Answer(record, count)) records.push_back(std::move(reply.record));
    return records;
}

std::vector<SimReply> SimProcessor::Answer(const uint8_t* record, int count) {
    if (count <= 0) return {};
    {
        std::lock_guard sinkLock(m_sinkMutex);
        if (m_observer) m_observer(record, count);
    }
    std::vector<SimReply> replies;
    {
        std::lock_guard lock(m_mutex);
        const bool silent = SilentLocked();
        LogCommand(record, count);
        // A silent processor takes nothing in any more.
        if (!silent) {
            const bool lose = LosesRepliesLocked(record, count);
            replies = FilterReplies(Dispatch(record, count), record[0]);
            if (lose) replies.clear();
            const bool slow =
                std::any_of(
                    replies.begin(), replies.end(),
                    [&](const SimReply& r) { return r.number == m_faults.slowReplyNumber; }) ||
                (m_faults.slowCode > 0 && record[0] == m_faults.slowCode && !replies.empty());
            const auto due = ScheduleLocked(slow ? m_faults.slowReplyMs : 0);
            for (SimReply& reply : replies) reply.due = due;
        }
    }
    m_logChanged.notify_all();
    m_learnChanged.notify_all();
    return replies;
}

std::chrono::steady_clock::time_point SimProcessor::ScheduleLocked(int extraMs) {
    const auto start = std::max(std::chrono::steady_clock::now(), m_busyUntil);
    m_busyUntil = start + std::chrono::milliseconds(m_faults.replyLatencyMs + extraMs);
    return m_busyUntil;
}

std::chrono::steady_clock::time_point SimProcessor::UnsolicitedDue() {
    std::lock_guard lock(m_mutex);
    return ScheduleLocked(0);
}

SimRecord SimProcessor::AckLocked(const uint8_t* record, int count, bool addressed) const {
    const uint8_t code = record[0];
    const bool dspAck = m_ackStyle == SimAckStyle::Dsp && code == CMD_DSP_WRITE;
    if (m_ackStyle != SimAckStyle::Echo && !dspAck) return MakeReply(kGenericAck, {code});
    SimRecord reply = MakeReply(code);
    if (addressed)
        for (int i = 1; i < 4 && i < count; ++i) reply[i + 1] = record[i];
    return reply;
}

void SimProcessor::SetAckStyle(SimAckStyle style) {
    std::lock_guard lock(m_mutex);
    m_ackStyle = style;
}

std::vector<SimRecord> SimProcessor::Dispatch(const uint8_t* record, int count) {
    const uint8_t code = record[0];
    if (m_faults.refusedCode > 0 && code == m_faults.refusedCode)
        return {MakeReply(kErrorReport, {kRefusalError, code, count > 1 ? record[1] : uint8_t{0}})};
    switch (code) {
    case CMD_ANNOUNCE_STORE:
        return {AckLocked(record, count, true)};
    case CMD_STORE_MODE:
        if (IsModeNumber(record, count)) {
            m_currentMode = record[1];
            m_modes[m_currentMode] = m_memory;
        }
        return {AckLocked(record, count, true)};
    case CMD_LOAD_MODE:
        if (IsModeNumber(record, count)) {
            m_currentMode = record[1];
            m_memory = m_modes[m_currentMode];
        }
        return {MakeReply(CMD_LOAD_MODE, {static_cast<uint8_t>(m_currentMode)})};
    case CMD_RESET_MODE:
        if (IsModeNumber(record, count)) {
            m_currentMode = record[1];
            m_modes[m_currentMode] = m_factory;
            m_memory = m_factory;
        }
        return {MakeReply(CMD_RESET_MODE, {static_cast<uint8_t>(m_currentMode)})};
    case CMD_GET_MODE:
        return {MakeReply(CMD_GET_MODE, {static_cast<uint8_t>(m_currentMode)})};
    case CMD_DSP_WRITE:
        ApplyDspWrite(record, count);
        return {AckLocked(record, count, false)};
    case CMD_GET_STATUS: {
        const auto status = StatusBlockLocked(m_statusPhase++);
        SimRecord reply = MakeReply(CMD_GET_STATUS);
        reply.resize(2);
        reply.insert(reply.end(), status.begin(), status.end());
        return {reply};
    }
    case CMD_READ_IMAGE:
        if (count < 4) return {};
        return {ReadChunk(record[1] * 256 + record[2], record[3])};
    case CMD_WRITE_IMAGE:
        if (count >= 4)
            WriteMemory(record[1] * 256 + record[2], record + 4,
                        std::min<int>(record[3], count - 4), kImageSize);
        return {AckLocked(record, count, true)};
    case CMD_WRITE_IMAGE_END:
        return {AckLocked(record, count, false)};
    case CMD_WRITE_PANEL:
        if (count >= 4)
            WriteMemory(record[1] * 256 + record[2], record + 4,
                        std::min<int>(record[3], count - 4), kPanelSize);
        return {AckLocked(record, count, true)};
    case CMD_LEARN_KEY:
        // Answered by the key press (reply 96); an echo now would read as one.
        StartLearning(count >= 2 ? record[1] : 0);
        if (m_ackStyle == SimAckStyle::Echo) return {};
        return {MakeReply(kGenericAck, {CMD_LEARN_KEY})};
    case CMD_ABANDON_LEARN:
        m_learningKey = -1;
        ++m_learnGeneration;
        return {AckLocked(record, count, false)};
    case CMD_GET_REMOTE_KEYS: {
        SimRecord reply{kSimReplyPrefix, CMD_GET_REMOTE_KEYS};
        reply.insert(reply.end(), m_remoteKeys.begin(), m_remoteKeys.begin() + 16);
        return {reply};
    }
    case CMD_WRITE_REMOTE_KEYS:
        std::copy_n(record + 1, std::clamp(count - 1, 0, kRemoteKeyBlockSize),
                    m_remoteKeys.begin());
        m_codeSet = m_remoteKeys[0];
        return {AckLocked(record, count, false)};
    case CMD_RESET_PROCESSOR:
        if (count >= 2 && record[1] == kResetConfirm) ResetToFactory();
        return {AckLocked(record, count, true)};
    case CMD_GET_VERSION2:
        return {TextReply(CMD_GET_VERSION2, m_identity.secondVersion, kVersionField)};
    case CMD_GET_CMD_VERSION:
        return {
            MakeReply(CMD_GET_CMD_VERSION, {static_cast<uint8_t>(m_identity.commandSetVersion)})};
    case CMD_GET_MODULE_NAME:
        return {TextReply(CMD_GET_MODULE_NAME, m_identity.moduleName, kModuleNameField)};
    case CMD_GET_VERSION1:
        return {TextReply(CMD_GET_VERSION1, m_identity.firstVersion, kVersionField)};
    case CMD_LET_GO:
        m_letGo = true;
        return {AckLocked(record, count, false)};
    case CMD_WRITE_MACHINE_SETTINGS:
        std::copy_n(record + 1, std::clamp(count - 1, 0, kMachineSettingsSize),
                    m_machineSettings.begin());
        return {AckLocked(record, count, false)};
    case CMD_GET_MACHINE_SETTINGS: {
        SimRecord reply{kSimReplyPrefix, CMD_GET_MACHINE_SETTINGS};
        reply.insert(reply.end(), m_machineSettings.begin(), m_machineSettings.end());
        return {reply};
    }
    default:
        // Radio-module bytes and unknown codes get no answer.
        return {};
    }
}

std::vector<SimReply> SimProcessor::FilterReplies(std::vector<SimRecord> replies,
                                                  uint8_t commandCode) {
    std::vector<SimReply> kept;
    const auto ignored = static_cast<uint8_t>(m_faults.ignoredCode);
    for (auto& record : replies) {
        if (m_faults.ignoredCode > 0 &&
            (commandCode == ignored || (record.size() > 1 && record[1] == ignored)))
            continue;
        const int number = static_cast<int>(++m_replyTotal);
        if (number == m_faults.dropReplyNumber || m_dropNext) {
            m_dropNext = false;
            continue;
        }
        SimReply reply;
        reply.record = std::move(record);
        reply.number = number;
        reply.damagedBefore = number == m_faults.damagedReplyNumber;
        reply.heartbeatAfter = number == m_faults.heartbeatAfterReplyNumber;
        kept.push_back(std::move(reply));
    }
    return kept;
}

bool SimProcessor::LosesRepliesLocked(const uint8_t* record, int count) {
    if (m_loseTimes == 0 || m_loseStart.empty()) return false;
    if (count < static_cast<int>(m_loseStart.size()) ||
        !std::equal(m_loseStart.begin(), m_loseStart.end(), record))
        return false;
    if (m_loseTimes > 0) --m_loseTimes;
    return true;
}

bool SimProcessor::SilentLocked() const {
    return m_silent || (m_faults.silentAfterCommands >= 0 &&
                        m_commandTotal >= static_cast<size_t>(m_faults.silentAfterCommands));
}

void SimProcessor::LogCommand(const uint8_t* record, int count) {
    ++m_commandTotal;
    m_log.emplace_back(record, record + CommandLength(record, count));
    if (m_log.size() > kCommandLogLimit) m_log.pop_front();
}

void SimProcessor::ApplyDspWrite(const uint8_t* record, int count) {
    if (count < 5) return;
    const int block = record[2];
    const int parameter = record[3];
    const int available = std::min<int>(record[4], (count - 5) / 4);
    // The locate request has no place in memory: the processor just
    // identifies the source (a value past the sources stops it).
    if (block == kLocateBlock && parameter == kLocateParameter && available > 0) {
        m_locatedSource = std::min<int>(record[8], kLocateNone);
        return;
    }
    int recordCount = 0;
    const int offset = FindDspValueOffset(m_memory, block, parameter, &recordCount);
    if (offset < 0) return;
    const int values = std::min(available, recordCount);
    std::copy_n(record + 5, 4 * values, m_memory.begin() + offset);
}

SimRecord SimProcessor::ReadChunk(int address, int length) const {
    const int available = address < kImageSize ? kImageSize - address : 0;
    const int sent = std::min({length, kChunkMax, available});
    SimRecord reply{kSimReplyPrefix, CMD_READ_IMAGE, static_cast<uint8_t>(address >> 8),
                    static_cast<uint8_t>(address & 0xFF), static_cast<uint8_t>(sent)};
    if (sent > 0)
        reply.insert(reply.end(), m_memory.begin() + address, m_memory.begin() + address + sent);
    return reply;
}

void SimProcessor::WriteMemory(int address, const uint8_t* data, int length, int limit) {
    if (address >= limit) return;
    std::copy_n(data, std::min(length, limit - address), m_memory.begin() + address);
}

SimRecord SimProcessor::TextReply(uint8_t code, const std::string& text, int fieldSize) const {
    // The text from byte 2, zero-terminated, cut to what fits in the field.
    const size_t length = std::min(text.size(), static_cast<size_t>(fieldSize - 1));
    SimRecord reply(std::max<size_t>(5, length + 3), 0);
    reply[0] = kSimReplyPrefix;
    reply[1] = code;
    std::memcpy(reply.data() + 2, text.data(), length);
    return reply;
}

std::array<uint8_t, kStatusBlockSize> SimProcessor::StatusBlockLocked(unsigned phase) const {
    std::array<uint8_t, kStatusBlockSize> status{};
    status[0] = 1;                                   // input present
    status[1] = static_cast<uint8_t>(m_currentMode); // mode
    status[2] = 48;                                  // sample rate, kHz
    status[7] = static_cast<uint8_t>(((PitchByteLocked() & 0x0F) << 4) | (m_streamFormat & 0x0F));
    // Wireless microphones: two levels, two channels, two batteries, twice.
    for (unsigned i = 0; i < 4; ++i) status[8 + i] = MeterLevel(phase, i);
    status[12] = 1;
    status[13] = 2;
    status[14] = 90;
    status[15] = 75;
    return status;
}

void SimProcessor::StartLearning(int key) {
    m_learningKey = key;
    ++m_learnGeneration;
    if (m_autoPressDelayMs >= 0 && !m_autoPressThread.joinable())
        m_autoPressThread = std::thread([this] { AutoPressThreadProc(); });
}

void SimProcessor::ResetToFactory() {
    m_memory = m_factory;
    m_modes.fill(m_factory);
    m_currentMode = 0;
    m_machineSettings = FactoryMachineSettings();
    m_remoteKeys = FactoryRemoteKeys();
    m_codeSet = m_remoteKeys[0];
    m_learningKey = -1;
    ++m_learnGeneration;
    m_locatedSource = kLocateNone;
}

void SimProcessor::DeliverUnsolicited(const SimRecord& reply) {
    std::lock_guard sinkLock(m_sinkMutex);
    if (m_sink) m_sink(reply);
}

bool SimProcessor::PressRemoteKey(int code) {
    std::vector<SimReply> replies;
    {
        std::lock_guard lock(m_mutex);
        if (m_learningKey < 0) return false;
        const int key = m_learningKey;
        const uint8_t learned = static_cast<uint8_t>(code >= 0 ? code : 0x40 + key);
        m_learningKey = -1;
        ++m_learnGeneration;
        m_remoteKeys[0] = m_codeSet;
        if (key < kRemoteKeyBlockSize) m_remoteKeys[key] = learned;
        if (!SilentLocked())
            replies = FilterReplies(
                {MakeReply(CMD_LEARN_KEY, {m_codeSet, static_cast<uint8_t>(key), learned})});
    }
    m_learnChanged.notify_all();
    for (const auto& reply : replies) DeliverUnsolicited(reply.record);
    return true;
}

void SimProcessor::AutoPressThreadProc() {
    Lock lock(m_mutex);
    while (!m_stopping) {
        if (m_learningKey < 0 || m_autoPressDelayMs < 0) {
            m_learnChanged.wait(lock);
            continue;
        }
        const unsigned generation = m_learnGeneration;
        const auto due =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(m_autoPressDelayMs);
        const bool changed = m_learnChanged.wait_until(
            lock, due, [&] { return m_stopping || m_learnGeneration != generation; });
        if (changed) continue;
        const int code = m_autoPressCode;
        lock.unlock();
        PressRemoteKey(code);
        lock.lock();
    }
}

void SimProcessor::SetReplySink(ReplySink sink) {
    std::lock_guard sinkLock(m_sinkMutex);
    m_sink = std::move(sink);
}

void SimProcessor::SetCommandObserver(CommandObserver observer) {
    std::lock_guard sinkLock(m_sinkMutex);
    m_observer = std::move(observer);
}

void SimProcessor::SetAutoKeyPress(int delayMs, int code) {
    {
        std::lock_guard lock(m_mutex);
        m_autoPressDelayMs = delayMs;
        m_autoPressCode = code;
        // The thread starts with the first learn command: many processors
        // in one process that learn nothing keep no thread each.
        if (delayMs >= 0 && m_learningKey >= 0 && !m_autoPressThread.joinable())
            m_autoPressThread = std::thread([this] { AutoPressThreadProc(); });
    }
    m_learnChanged.notify_all();
}

int SimProcessor::LearningKey() const {
    std::lock_guard lock(m_mutex);
    return m_learningKey;
}

void SimProcessor::SetCodeSetByte(uint8_t codeSet) {
    std::lock_guard lock(m_mutex);
    m_codeSet = codeSet;
}

void SimProcessor::SetFaults(const SimFaults& faults) {
    std::lock_guard lock(m_mutex);
    m_faults = faults;
}

SimFaults SimProcessor::Faults() const {
    std::lock_guard lock(m_mutex);
    return m_faults;
}

int SimProcessor::ReplyCount() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_replyTotal);
}

void SimProcessor::DropNextReply() {
    std::lock_guard lock(m_mutex);
    m_dropNext = true;
}

void SimProcessor::LoseRepliesTo(std::vector<uint8_t> commandStart, int times) {
    std::lock_guard lock(m_mutex);
    m_loseStart = std::move(commandStart);
    m_loseTimes = times;
}

void SimProcessor::SetSilent(bool silent) {
    std::lock_guard lock(m_mutex);
    m_silent = silent;
}

bool SimProcessor::IsSilent() const {
    std::lock_guard lock(m_mutex);
    return SilentLocked();
}

int SimProcessor::ReplyLatencyMs() const {
    std::lock_guard lock(m_mutex);
    return m_faults.replyLatencyMs;
}

void SimProcessor::SetIdentity(const SimIdentity& identity) {
    std::lock_guard lock(m_mutex);
    m_identity = identity;
}

SimIdentity SimProcessor::Identity() const {
    std::lock_guard lock(m_mutex);
    return m_identity;
}

SimProcessor::Image SimProcessor::Memory() const {
    std::lock_guard lock(m_mutex);
    return m_memory;
}

void SimProcessor::SetMemory(const Image& image) {
    std::lock_guard lock(m_mutex);
    m_memory = image;
}

SimProcessor::Image SimProcessor::ModeImage(int mode) const {
    std::lock_guard lock(m_mutex);
    return m_modes[static_cast<size_t>(std::clamp(mode, 0, kSimModeCount - 1))];
}

int SimProcessor::CurrentMode() const {
    std::lock_guard lock(m_mutex);
    return m_currentMode;
}

std::array<uint8_t, kMachineSettingsSize> SimProcessor::MachineSettings() const {
    std::lock_guard lock(m_mutex);
    return m_machineSettings;
}

void SimProcessor::SetMachineSettings(const std::array<uint8_t, kMachineSettingsSize>& settings) {
    std::lock_guard lock(m_mutex);
    m_machineSettings = settings;
}

std::array<uint8_t, kRemoteKeyBlockSize> SimProcessor::RemoteKeys() const {
    std::lock_guard lock(m_mutex);
    return m_remoteKeys;
}

void SimProcessor::SetRemoteKeys(const std::array<uint8_t, kRemoteKeyBlockSize>& keys) {
    std::lock_guard lock(m_mutex);
    m_remoteKeys = keys;
    m_codeSet = keys[0];
}

std::array<uint8_t, kStatusBlockSize> SimProcessor::StatusBlock() const {
    std::lock_guard lock(m_mutex);
    return StatusBlockLocked(m_statusPhase);
}

void SimProcessor::SetStreamFormat(int index) {
    std::lock_guard lock(m_mutex);
    m_streamFormat = index & 0x0F;
}

int SimProcessor::PitchByte() const {
    std::lock_guard lock(m_mutex);
    return PitchByteLocked();
}

// The music pitch plus 5, the last byte of block 4 parameter 21.
int SimProcessor::PitchByteLocked() const {
    const int offset = FindDspValueOffset(m_memory, 4, 21);
    return offset >= 0 ? m_memory[static_cast<size_t>(offset) + 3] : 5;
}

int SimProcessor::LocatedSource() const {
    std::lock_guard lock(m_mutex);
    return m_locatedSource;
}

bool SimProcessor::LetGoReceived() const {
    std::lock_guard lock(m_mutex);
    return m_letGo;
}

std::vector<SimRecord> SimProcessor::ReceivedCommands() const {
    std::lock_guard lock(m_mutex);
    return {m_log.begin(), m_log.end()};
}

size_t SimProcessor::CommandCount() const {
    std::lock_guard lock(m_mutex);
    return m_commandTotal;
}

size_t SimProcessor::CountCommands(const std::vector<uint8_t>& commandStart) const {
    std::lock_guard lock(m_mutex);
    return static_cast<size_t>(std::count_if(m_log.begin(), m_log.end(), [&](const SimRecord& r) {
        return r.size() >= commandStart.size() &&
               std::equal(commandStart.begin(), commandStart.end(), r.begin());
    }));
}

bool SimProcessor::WaitForCommandCount(size_t count, int timeoutMs) const {
    Lock lock(m_mutex);
    return m_logChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return m_commandTotal >= count; });
}

bool SimProcessor::WaitForCommand(uint8_t code, int timeoutMs) const {
    Lock lock(m_mutex);
    return m_logChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return std::any_of(m_log.begin(), m_log.end(), [&](const SimRecord& record) {
            return !record.empty() && record[0] == code;
        });
    });
}

void SimProcessor::ClearCommandLog() {
    std::lock_guard lock(m_mutex);
    m_log.clear();
}
