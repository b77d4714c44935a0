#include "SoakRun.h"

#include "link/CommandFrames.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "link/ReplyWatch.h"
#include "link/StateThread.h"
#include "link/TextFormat.h"
#include "modefile/ModeFile.h"
#include "state/Compressor.h"
#include "state/DspParamTable.h"
#include "state/Features.h"
#include "state/ImageEdits.h"
#include "state/MachineModes.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"
#include "state/PresetDiff.h"
#include "state/SurroundVolume.h"
#include "state/SyncJobs.h"
#include "state/ValueRanges.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>

namespace fx {
namespace {

constexpr int kJobTimeoutMs = 60000;      // longer than any job takes with every fault on
constexpr int kModeReadTimeoutMs = 15000; // a load's read starts on the processor's reply
constexpr int kSettleTries = 3;
constexpr int kSettleTimeoutMs = 3000; // past the slowest reply a fault makes
constexpr int kRecoverTries = 5;

const char* TransportName(SoakTransport transport) {
    return transport == SoakTransport::Network ? "network" : "USB";
}

std::vector<uint8_t> FileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

} // namespace

SoakCounts& SoakCounts::operator+=(const SoakCounts& other) {
    edits += other.edits, reads += other.reads, writes += other.writes;
    stores += other.stores, loads += other.loads, saves += other.saves;
    undos += other.undos, redos += other.redos, faults += other.faults;
    checks += other.checks, mismatches += other.mismatches;
    return *this;
}

SoakRun::SoakRun(int index, int minutes, uint64_t seed, const std::filesystem::path& folder,
                 SoakShared shared)
    : m_index(index), m_minutes(minutes), m_folder(folder / FormatText("processor-%d", index + 1)),
      m_shared(shared), m_random(seed + static_cast<uint64_t>(index)),
      m_rig(m_editor, shared.loop, shared.usb, index) {}

bool SoakRun::Run() {
    ProcessorScope scope(m_editor);
    std::error_code folderError;
    std::filesystem::create_directories(m_folder, folderError);
    m_start = Clock::now();
    const auto deadline = m_start + std::chrono::minutes(m_minutes);
    // Memory and threads are measured from minute 5, or from the end of the
    // first fifth of a shorter run.
    m_gaugeFrom = m_minutes >= kShortRunMinutes
                      ? m_start + std::chrono::minutes(5)
                      : m_start + std::chrono::seconds(m_minutes * 60 / 5);
    BuildDefaultImage();
    if (folderError) Violation("the soak's folder could not be made: " + folderError.message());
    if (m_violation.empty() && !m_rig.Start())
        Violation("the simulated processor's server did not start");
    if (m_violation.empty() && !Recover())
        Violation("the editor could not open its first link and read");
    m_nextFaultSwitch = Clock::now() + std::chrono::milliseconds(Pick(1000, 3000));
    m_nextQuiet = Clock::now() + std::chrono::milliseconds(Pick(4000, 8000));
    while (m_violation.empty() && !m_shared.failed && Clock::now() < deadline) Step();
    if (m_violation.empty() && !m_shared.failed) {
        if (m_gaugeArrivals == 0) SampleGauge(false);
        // The end is measured over the transport the start was.
        if (m_rig.Transport() != m_gaugeTransport && !Recover(m_gaugeTransport))
            Violation("the editor could not open its link for the final check");
        QuietPoint();
        if (m_violation.empty() && !m_shared.failed) SampleGauge(true);
    }
    // The other runs wait for this one no more.
    if (m_gaugeArrivals < 2) m_shared.gauge.Leave();
    FaultsOff();
    m_rig.Close();
    JoinSyncJobs();
    return m_violation.empty();
}

void SoakRun::Step() {
    const auto now = Clock::now();
    if (!LinkUsable()) {
        // The editor says its link is gone: it no longer claims to know.
        m_knows = false;
        if (!Recover()) Violation("the editor could not reconnect and read with the faults off");
        return;
    }
    if (now >= m_nextQuiet) {
        QuietPoint();
        m_nextQuiet = Clock::now() + std::chrono::milliseconds(Pick(4000, 8000));
        return;
    }
    if (now >= m_nextFaultSwitch) {
        SwitchFaults();
        m_nextFaultSwitch = Clock::now() + std::chrono::milliseconds(Pick(1000, 4000));
        return;
    }
    const double roll = Uniform(0.0, 1.0);
    if (roll < 0.80) {
        Edit();
    } else if (roll < 0.87) {
        if (m_history.Undo()) ++m_counts.undos, Note("undo");
    } else if (roll < 0.94) {
        if (m_history.Redo()) ++m_counts.redos, Note("redo");
    } else if (roll < 0.945) {
        SaveModeFile();
    } else if (roll < 0.948) {
        ReadWhole();
    } else if (roll < 0.951) {
        WriteWhole();
    } else if (roll < 0.954) {
        StoreMode();
    } else if (roll < 0.957) {
        LoadMode();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(Pick(1, 6)));
}

void SoakRun::Edit() {
    ++m_counts.edits;
    // One operation, one step of the history, as a page's handler makes it.
    ImageEditScope scope;
    switch (Pick(0, 5)) {
    case 0:
    case 1:
        EditDspTable();
        break;
    case 2:
        EditEqBand();
        break;
    case 3:
        EditSurround();
        break;
    case 4:
        EditOutput();
        break;
    default:
        EditCompressor();
        break;
    }
}

namespace {

// The compressor records (and the automatic level, one of their kind) are the
// compressor edit's: a value written into one alone would be no setting.
bool IsCompressorRecord(const DspParamEntry& entry) {
    if (entry.block == kAutoLevelBlock && entry.parameter == kAutoLevelParameter) return true;
    for (int index = 0; index < kCompressorCount; ++index)
        if (entry.block == CompressorBlock(index) && entry.parameter == CompressorParameter(index))
            return true;
    return false;
}

} // namespace

void SoakRun::EditDspTable() {
    const DspParamEntry* entry = nullptr;
    while (entry == nullptr) {
        const DspParamEntry& candidate =
            DspParamTable[static_cast<size_t>(Pick(0, kDspTableSize - 1))];
        if (candidate.kind != DspValueKind::None && candidate.imageOffset >= 0 &&
            !IsCompressorRecord(candidate))
            entry = &candidate;
    }
    // A value a page could give where a page sets the parameter (the one
    // table of state/ValueRanges), so every mode file the run saves is one
    // the editor opens again.
    const std::optional<ValueRange> range = DspParamRange(entry->block, entry->parameter);
    auto value = [&]() -> double {
        if (range && range->endsOnly) return Chance(0.5) ? range->low : range->high;
        if (range && range->wholeNumbers) return Pick(int(range->low), int(range->high));
        if (range) return Uniform(range->low, range->high);
        switch (entry->kind) {
        case DspValueKind::Percent:
            return Pick(0, 100);
        case DspValueKind::LowByte:
            return Pick(0, 255);
        case DspValueKind::Samples:
            return Uniform(0.0, 20.0);
        case DspValueKind::TenThousandths:
            return Pick(0, 10000);
        default:
            return Uniform(-1.0, 1.0);
        }
    };
    if (Chance(0.5)) {
        const double set = value();
        Note(FormatText("SetDspParam %d/%d %g", entry->block, entry->parameter, set));
        SetDspParam(entry->block, entry->parameter, set);
        return;
    }
    std::vector<uint32_t> values(static_cast<size_t>(std::max(entry->valueCount, 1)));
    for (uint32_t& stored : values) {
        switch (entry->kind) {
        case DspValueKind::Percent:
            stored = PercentToStored(static_cast<int>(value()));
            break;
        case DspValueKind::Samples:
            stored = MsToSamples(value());
            break;
        case DspValueKind::TenThousandths:
            stored = TenThousandthsToStored(static_cast<int>(value()));
            break;
        case DspValueKind::LowByte:
            stored = static_cast<uint32_t>(value());
            break;
        default:
            stored = FloatBits(static_cast<float>(value()));
            break;
        }
    }
    Note(FormatText("WriteDspParam %d/%d x%zu", entry->block, entry->parameter, values.size()));
    WriteDspParam(entry->block, entry->parameter, values.data(), static_cast<int>(values.size()));
}

void SoakRun::EditEqBand() {
    const int set = Pick(0, 15);
    const int slots = EqSetSlots(set);
    if (slots <= 0) return;
    const int band = Pick(0, slots - 1);
    const int type = Pick(0, 5);
    const double frequency = std::exp(Uniform(std::log(20.0), std::log(20000.0)));
    Note(FormatText("SetEqBand set %d band %d type %d at %d", set, band, type,
                    EqBandOffset(set, band)));
    SetEqBand(set, band, type, frequency, Uniform(-15.0, 15.0), Uniform(0.4, 8.0));
}

void SoakRun::EditSurround() {
    const int which = Pick(0, 4);
    Note(FormatText("surround edit %d", which));
    switch (which) {
    case 0: {
        const int channel = Pick(0, kOutputChannelCount - 1);
        SetSurroundVolume(channel, Pick(0, SurroundVolumeMax(channel)));
        break;
    }
    case 1:
        MoveListener(Uniform(0.0, RoomWidth()), Uniform(0.0, RoomLength()));
        break;
    case 2:
        MoveSpeaker(Pick(1, kSpeakerCount), Uniform(0.0, RoomWidth()), Uniform(0.0, RoomLength()));
        break;
    case 3:
        SetSpeakerLevel(Uniform(-10.0, 0.0), Pick(1, kSpeakerCount));
        break;
    default:
        SetSurroundRoom(Pick(kRoomSizeMin, kRoomSizeMax), Pick(kRoomSizeMin, kRoomSizeMax));
        break;
    }
}

void SoakRun::EditOutput() {
    const int channel = Pick(0, kOutputChannelCount - 1);
    Note(FormatText("delay edit of channel %d", channel));
    if (Chance(0.5))
        SetDelayMode(channel, Chance(0.5));
    else
        SetDelaySplit(channel, Pick(0, 25));
}

void SoakRun::EditCompressor() {
    Note("compressor edit");
    SetCompressor(Pick(0, kCompressorCount - 1), Uniform(kCompThresholdMinDb, kCompThresholdMaxDb),
                  Uniform(kCompRatioMin, kCompRatioMax),
                  Uniform(kCompAttackMinMs, kCompAttackMaxMs),
                  Uniform(kCompReleaseMinMs, kCompReleaseMaxMs));
}

void SoakRun::ReadWhole() {
    ++m_counts.reads;
    Note("read");
    const int before = m_view.Ended(false);
    StartDelayedRead();
    FinishJob(false, before);
}

void SoakRun::WriteWhole() {
    ++m_counts.writes;
    Note("write");
    // As the editor writes its parameters whole: saved to a mode file, the
    // file loaded and its image written.
    const std::string path = (m_folder / "write.mode").string();
    {
        StateGuard state(StateLock());
        if (!WriteModeFile(path).ok || !LoadModeFileChecked(path).ok) {
            Violation("the editor could not save and load back its own parameters");
            return;
        }
    }
    const int before = m_view.Ended(true);
    StartWriteAll();
    FinishJob(true, before);
}

void SoakRun::StoreMode() {
    ++m_counts.stores;
    const int mode = Pick(0, kMachineModeCount - 1);
    Note(FormatText("store mode %d", mode));
    StoreMachineMode(mode);
}

void SoakRun::LoadMode() {
    ++m_counts.loads;
    const int before = m_view.Ended(false);
    const int mode = Pick(0, kMachineModeCount - 1);
    Note(FormatText("load mode %d", mode));
    LoadMachineMode(mode);
    // The read follows the processor's answer; a lost answer starts none,
    // and the editor, its job never idle again, holds nothing it knows.
    if (!m_view.WaitForEnd(false, before, kModeReadTimeoutMs)) {
        m_knows = false;
        Note("no read followed the load");
        return;
    }
    FinishJob(false, before);
}

bool SoakRun::FinishJob(bool write, int before) {
    if (!m_view.WaitForEnd(write, before, kJobTimeoutMs)) {
        Violation(write ? "a whole write never ended" : "a whole read never ended");
        return false;
    }
    JoinSyncJobs();
    const SyncResult result = write ? LastWriteResult() : LastReadResult();
    // A job that completed over a link still standing leaves the editor
    // holding what the processor holds; any other end says it does not know.
    m_knows = result.Completed() && LinkUsable() && g_bJobIdle();
    Note(FormatText("%s ended: outcome %d, editor %s", write ? "write" : "read",
                    static_cast<int>(result.outcome), m_knows ? "knows" : "does not know"));
    return m_knows;
}

void SoakRun::SaveModeFile() {
    ++m_counts.saves;
    const bool unwritable = Chance(0.125);
    const std::filesystem::path path = unwritable
                                           ? m_folder / "missing" / "soak.mode"
                                           : m_folder / FormatText("soak-%d.mode", Pick(1, 4));
    std::vector<uint8_t> expected;
    FileWriteResult result;
    {
        // The window saves on the state thread: nothing else changes the image meanwhile.
        StateGuard state(StateLock());
        expected = EditedImage();
        result = WriteModeFile(path.string());
    }
    const std::vector<uint8_t> saved = FileBytes(path);
    const bool present = std::filesystem::exists(path);
    if (result.ok) {
        const bool whole =
            saved.size() == static_cast<size_t>(kModeFileSize) &&
            std::equal(expected.begin(), expected.end(), saved.begin() + kModeFileHeaderSize) &&
            ReadModeFile(path.string()).ok;
        if (!whole)
            Violation(FormatText("the saved mode file %s is not what the editor held (%zu bytes)",
                                 path.c_str(), saved.size()));
        m_savedFiles[path.string()] = saved;
        return;
    }
    const auto previous = m_savedFiles.find(path.string());
    const bool untouched =
        previous == m_savedFiles.end() ? !present : (present && saved == previous->second);
    if (!untouched)
        Violation(
            FormatText("a failed save left %s changed (%zu bytes)", path.c_str(), saved.size()));
}

void SoakRun::SwitchFaults() {
    if (m_wireFaults) {
        FaultsOff();
        return;
    }
    ++m_counts.faults;
    if (Chance(0.75))
        WireFaultsOn();
    else
        BreakLink();
}

void SoakRun::WireFaultsOn() {
    SimProcessor& processor = m_rig.Simulated();
    const int made = processor.ReplyCount();
    SimFaults faults;
    bool heartbeatLost = false;
    if (Chance(0.5)) faults.replyLatencyMs = Pick(1, 25);
    if (Chance(0.5)) faults.dropReplyNumber = made + Pick(1, 30);
    if (Chance(0.4)) faults.damagedReplyNumber = made + Pick(1, 30);
    if (Chance(0.2)) faults.slowReplyNumber = made + Pick(1, 60);
    if (m_rig.Transport() == SoakTransport::Network) {
        if (Chance(0.4)) faults.corruptChecksumNumber = made + Pick(1, 30);
        if (Chance(0.4)) faults.heartbeatAfterReplyNumber = made + Pick(1, 30);
        heartbeatLost = Chance(0.2);
        if (Chance(0.3)) {
            faults.pieceSize = Pick(1, 8);
            faults.pieceGapMs = Pick(0, 2);
        }
    }
    processor.SetFaults(faults);
    m_rig.SetHeartbeats(!heartbeatLost);
    m_wireFaults = true;
    Note(FormatText(
        "wire faults from reply %d: latency %d, drop %d, damaged %d, slow %d, checksum %d, "
        "heartbeat %d, pieces %d%s",
        made, faults.replyLatencyMs, faults.dropReplyNumber, faults.damagedReplyNumber,
        faults.slowReplyNumber, faults.corruptChecksumNumber, faults.heartbeatAfterReplyNumber,
        faults.pieceSize, heartbeatLost ? ", no heartbeat" : ""));
}

void SoakRun::FaultsOff() {
    m_rig.Simulated().SetFaults({});
    m_rig.Simulated().SetSilent(false);
    m_rig.SetHeartbeats(true);
    m_wireFaults = false;
}

void SoakRun::BreakLink() {
    // The editor is not told: it must find out itself, or the next check fails.
    const double roll = Uniform(0.0, 1.0);
    if (roll < 0.45) {
        Note("connection dropped");
        m_rig.DropConnection();
    } else if (roll < 0.75) {
        Note("power cycle");
        m_rig.PowerCycle();
    } else if (roll < 0.85 && m_rig.Transport() == SoakTransport::Network) {
        Note("silence");
        m_rig.SilenceUntilLinkGone();
    } else {
        Note("processor reset by the editor");
        // The editor's own processor reset: it knows the processor starts afresh.
        ResetProcessor();
        WaitAllWritten();
        m_knows = false;
        m_rig.Close();
    }
}

void SoakRun::QuietPoint() {
    FaultsOff();
    Note(m_knows ? "quiet point" : "quiet point, the editor does not know");
    if (!LinkUsable()) m_knows = false;
    if (m_knows && !WaitAllWritten()) m_knows = false;
    if (m_knows) {
        // The processor answers in order: once this is answered, everything
        // written before it has taken effect.
        // A question, not a change: its answer repeats its code.
        const uint8_t ask[] = {CMD_GET_MODE};
        bool answered = false;
        for (int i = 0; i < kSettleTries && !answered && LinkUsable(); ++i) {
            const uint64_t before = ReplyCount(CMD_GET_MODE);
            SendShortCmd(ask, sizeof ask);
            answered =
                WaitAllWritten() && WaitForReplyAfter(CMD_GET_MODE, before, kSettleTimeoutMs);
        }
        if (!answered && LinkUsable()) {
            Violation("the processor stopped answering with the faults off");
            return;
        }
        if (!answered) m_knows = false;
    }
    if (!m_knows && !Recover()) {
        Violation("the editor could not reconnect and read with the faults off");
        return;
    }
    CompareMemory("at a quiet point");
    // The simulator keeps every command for the tests to look at; the soak
    // looks at none, and the log would count as the editor's growth.
    m_rig.Simulated().ClearCommandLog();
    const ProcessGauge gauge = ProcessGauge::Now();
    Note(FormatText("checked: %.2f MiB, %d threads", gauge.residentMiB, gauge.threads));
    SampleGauge(false);
}

bool SoakRun::Recover(std::optional<SoakTransport> transport) {
    FaultsOff();
    for (int attempt = 0; attempt < kRecoverTries; ++attempt) {
        m_rig.Close();
        JoinSyncJobs();
        const SoakTransport chosen =
            transport.value_or(Chance(0.5) ? SoakTransport::Network : SoakTransport::Usb);
        Note(FormatText("open over %s", TransportName(chosen)));
        if (m_rig.Open(chosen)) {
            ++m_counts.reads;
            const int before = m_view.Ended(false);
            StartDelayedRead();
            if (FinishJob(false, before)) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

void SoakRun::CompareMemory(const char* where) {
    ++m_counts.checks;
    const std::vector<uint8_t> editor = EditedImage();
    const SimProcessor::Image memory = m_rig.Simulated().Memory();
    int differing = 0, first = -1;
    for (int i = 0; i < kImageSize; ++i) {
        if (editor[static_cast<size_t>(i)] == memory[static_cast<size_t>(i)]) continue;
        if (first < 0) first = i;
        ++differing;
    }
    if (differing == 0) return;
    ++m_counts.mismatches;
    Violation(FormatText("%s over %s: the processor's memory differs from what the editor holds at "
                         "%d bytes, the first at %d (editor 0x%02X, processor 0x%02X)",
                         where, TransportName(m_rig.Transport()), differing, first,
                         editor[static_cast<size_t>(first)], memory[static_cast<size_t>(first)]));
}

void SoakRun::SampleGauge(bool end) {
    if (!end && (m_gaugeArrivals > 0 || Clock::now() < m_gaugeFrom)) return;
    JoinSyncJobs();
    if (!end) m_gaugeTransport = m_rig.Transport();
    ++m_gaugeArrivals;
    Note(end ? "at the gauge for the end" : "at the gauge for the start");
    m_shared.gauge.Arrive();
}

void SoakRun::Note(const std::string& action) {
    constexpr size_t kRecentKept = 40;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_start);
    m_recent.push_back(
        FormatText("%8lld ms %s", static_cast<long long>(ms.count()), action.c_str()));
    if (m_recent.size() > kRecentKept) m_recent.pop_front();
}

std::string SoakRun::RecentActions() const {
    std::string text;
    for (const std::string& line : m_recent) text += line + "\n";
    return text;
}

void SoakRun::Violation(const std::string& text) {
    if (!m_violation.empty()) return;
    m_violation = text;
    m_violationTime = Clock::now();
    m_shared.failed = true;
}

double SoakRun::Uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(m_random);
}

int SoakRun::Pick(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(m_random);
}

bool SoakRun::Chance(double p) {
    return Uniform(0.0, 1.0) < p;
}

} // namespace fx
