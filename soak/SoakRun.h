#pragma once

#include "ProcessGauge.h"
#include "SoakHistory.h"
#include "SoakRig.h"
#include "SoakView.h"

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
};

// Drives the editor's core against the simulated processor for a while:
// random edits on every page's parameters, whole reads and writes, machine
// modes, mode-file saves, undo and redo, with faults switched on and off.
// At every quiet point and at the end the processor's memory must equal the
// editor's parameters wherever the editor claims to know them.
class SoakRun {
public:
    SoakRun(int minutes, uint64_t seed, std::filesystem::path folder);

    // Runs to the end; true when no invariant was broken. The first broken
    // one is in FirstViolation().
    bool Run();
    std::string Summary() const;
    const std::string& FirstViolation() const { return m_violation; }
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

    const int m_minutes;
    const uint64_t m_seed;
    const std::filesystem::path m_folder;
    std::mt19937_64 m_random;
    SoakView m_view;
    SoakHistory m_history;
    SoakRig m_rig;
    SoakCounts m_counts;
    std::string m_violation;
    // Whether the editor claims to hold what the processor holds: after a
    // whole read or write that completed, until its link is seen gone or a
    // job or command reports it did not finish.
    bool m_knows = false;
    bool m_wireFaults = false;
    Clock::time_point m_start, m_nextFaultSwitch, m_nextQuiet, m_gaugeFrom;
    ProcessGauge m_gaugeFirst, m_gaugeLast;
    bool m_gaugeTaken = false;
    SoakTransport m_gaugeTransport = SoakTransport::Network;
    std::deque<std::string> m_recent;
    std::map<std::string, std::vector<uint8_t>> m_savedFiles; // what each path holds
};

} // namespace fx
