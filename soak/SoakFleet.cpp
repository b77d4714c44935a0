#include "SoakFleet.h"

#include "link/TextFormat.h"

#include <thread>

namespace fx {
namespace {

constexpr double kMaxGrowth = 0.05;
// A run shorter than ten minutes measures from its first fifth, before the
// allocator's heap has grown to its working size: there a growth within one
// MiB per processor is its steps, not a leak (the sanitizer builds' leak
// checks see those).
constexpr double kShortRunSlackMiB = 1.0;

double Growth(double first, double last) {
    return first > 0 ? (last - first) / first : 0.0;
}

// "a+b+c" of one count over the runs.
template <typename Count>
std::string Shares(const std::vector<std::unique_ptr<SoakRun>>& runs, Count count) {
    std::string text;
    for (const auto& run : runs) text += (text.empty() ? "" : "+") + std::to_string(count(*run));
    return text;
}

} // namespace

SoakFleet::SoakFleet(int processors, int minutes, uint64_t seed,
                     const std::filesystem::path& folder)
    : m_minutes(minutes), m_seed(seed), m_gauge(processors) {
    const SoakShared shared{m_loop, m_usb, m_gauge, m_failed};
    for (int i = 0; i < processors; ++i)
        m_runs.push_back(std::make_unique<SoakRun>(i, minutes, seed, folder, shared));
}

bool SoakFleet::Run() {
    std::vector<std::thread> threads;
    for (auto& run : m_runs) threads.emplace_back([&run] { run->Run(); });
    for (std::thread& thread : threads) thread.join();
    if (const SoakRun* failed = FirstFailed()) {
        m_violation = m_runs.size() > 1 ? FormatText("processor %d: %s", failed->Index() + 1,
                                                     failed->FirstViolation().c_str())
                                        : failed->FirstViolation();
        return false;
    }
    CheckGrowth();
    return m_violation.empty();
}

const SoakRun* SoakFleet::FirstFailed() const {
    const SoakRun* first = nullptr;
    for (const auto& run : m_runs) {
        if (run->FirstViolation().empty()) continue;
        if (first == nullptr || run->ViolationTime() < first->ViolationTime()) first = run.get();
    }
    return first;
}

void SoakFleet::CheckGrowth() {
    const ProcessGauge& first = m_gauge.First();
    const ProcessGauge& last = m_gauge.Last();
    const double slack = kShortRunSlackMiB * static_cast<double>(m_runs.size());
    const bool withinSlack =
        m_minutes < SoakRun::kShortRunMinutes && last.residentMiB - first.residentMiB < slack;
    if (!withinSlack && Growth(first.residentMiB, last.residentMiB) >= kMaxGrowth)
        m_violation = FormatText("resident memory grew from %.1f to %.1f MiB", first.residentMiB,
                                 last.residentMiB);
    else if (Growth(first.threads, last.threads) >= kMaxGrowth)
        m_violation = FormatText("threads grew from %d to %d", first.threads, last.threads);
}

std::string SoakFleet::Summary() const {
    SoakCounts all;
    for (const auto& run : m_runs) all += run->Counts();
    const bool several = m_runs.size() > 1;
    const std::string processors =
        several ? FormatText("%zu processors, ", m_runs.size()) : std::string();
    const std::string faultShares =
        several ? " (" + Shares(m_runs, [](const SoakRun& r) { return r.Counts().faults; }) + ")"
                : std::string();
    const std::string checkShares =
        several ? " (" +
                      Shares(m_runs,
                             [](const SoakRun& r) {
                                 return r.Counts().checks - r.Counts().mismatches;
                             }) +
                      ")"
                : std::string();
    const ProcessGauge& first = m_gauge.First();
    const ProcessGauge& last = m_gauge.Last();
    return FormatText(
        "soak: %d min, %sseed %llu, %ld edits, %ld reads, %ld writes, %ld mode stores, "
        "%ld loads, %ld saves, %ld undo, %ld redo, %ld faults%s, %ld quiet-point checks "
        "ok%s, %ld mismatches, RSS %.1f -> %.1f MiB (%+.1f %%), threads %d -> %d: %s",
        m_minutes, processors.c_str(), static_cast<unsigned long long>(m_seed), all.edits,
        all.reads, all.writes, all.stores, all.loads, all.saves, all.undos, all.redos, all.faults,
        faultShares.c_str(), all.checks - all.mismatches, checkShares.c_str(), all.mismatches,
        first.residentMiB, last.residentMiB, 100.0 * Growth(first.residentMiB, last.residentMiB),
        first.threads, last.threads, m_violation.empty() ? "PASS" : "FAIL");
}

std::string SoakFleet::RecentActions() const {
    const SoakRun* failed = FirstFailed();
    return (failed != nullptr ? *failed : *m_runs.front()).RecentActions();
}

} // namespace fx
