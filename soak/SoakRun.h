#pragma once

#include "SoakGauge.h"
#include "SoakHidBackend.h"
#include "SoakHistory.h"
#include "SoakRig.h"
#include "SoakView.h"
#include "sim/SimEventLoop.h"
#include "state/Processor.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace fx {

struct SoakCounts {
    long edits = 0, reads = 0, writes = 0, stores = 0, loads = 0, saves = 0;
    long undos = 0, redos = 0, faults = 0, checks = 0, mismatches = 0;

    SoakCounts& operator+=(const SoakCounts& other);
};

// What the runs of one soak share.
struct SoakShared {
    SimEventLoop& loop;        // serves every simulated processor's network side
    SoakHidBackend& usb;       // every simulated processor's USB side
    SoakGauge& gauge;          // measures the process at the runs' quiet points
    std::atomic<bool>& failed; // set by the first run that finds an invariant broken
};

// Drives one processor (a processor object of the editor's core against a
// simulated processor of its own) for a while: random edits on every page's
// parameters, whole reads and writes, machine modes, mode-file saves, undo
// and redo, with faults switched on and off. At every quiet point and at the
// end the simulated processor's memory must equal the editor's parameters
// wherever the editor claims to know them. Runs on a thread of its own
// beside the other processors' runs; stops early when one of them fails.
class SoakRun {
public:
    // A run shorter than this measures memory and threads from its first
    // fifth, a longer one from minute 5.
    static constexpr int kShortRunMinutes = 10;

    SoakRun(int index, int minutes, uint64_t seed, const std::filesystem::path& folder,
            SoakShared shared);

    // Runs to the end; true when no invariant was broken. The first broken
    // one is in FirstViolation().
    bool Run();
    int Index() const { return m_index; }
    const SoakCounts& Counts() const { return m_counts; }
    const std::string& FirstViolation() const { return m_violation; }
    std::chrono::steady_clock::time_point ViolationTime() const { return m_violationTime; }
    // The last actions before the end, oldest first, one a line.
    std::string RecentActions() const;

private:
    using Clock = std::chrono::steady_clock;

    void Step();
    void Edit();
    void EditDspTable();
    void EditEqBand();
    void EditSurround();
    void EditOutput();
    void EditCompressor();
    void ReadWhole();
    void WriteWhole();
    void StoreMode();
    void LoadMode();
    void SaveModeFile();
    void SwitchFaults();
    void WireFaultsOn();
    void FaultsOff();
    void BreakLink();
    void QuietPoint();
    // Opens a link over a random transport and reads the processor, until
    // the editor holds what it holds again; false when it cannot.
    bool Recover(std::optional<SoakTransport> transport = std::nullopt);
    bool FinishJob(bool write, int before);
    void CompareMemory(const char* where);
    void SampleGauge(bool end);
    void Violation(const std::string& text);
    void Note(const std::string& action);
    double Uniform(double low, double high);
    int Pick(int low, int high); // inclusive
    bool Chance(double p);

    const int m_index;
    const int m_minutes;
    const std::filesystem::path m_folder;
    SoakShared m_shared;
    std::mt19937_64 m_random;
    Processor m_editor; // before everything that works with it
    SoakView m_view{m_editor};
    SoakHistory m_history{m_editor};
    SoakRig m_rig;
    SoakCounts m_counts;
    std::string m_violation;
    Clock::time_point m_violationTime{};
    // Whether the editor claims to hold what the processor holds: after a
    // whole read or write that completed, until its link is seen gone or a
    // job or command reports it did not finish.
    bool m_knows = false;
    bool m_wireFaults = false;
    Clock::time_point m_start, m_nextFaultSwitch, m_nextQuiet, m_gaugeFrom;
    int m_gaugeArrivals = 0; // at the shared gauge: the start, then the end
    SoakTransport m_gaugeTransport = SoakTransport::Network;
    std::deque<std::string> m_recent;
    std::map<std::string, std::vector<uint8_t>> m_savedFiles; // what each path holds
};

} // namespace fx
