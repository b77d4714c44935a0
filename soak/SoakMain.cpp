// fxtune-soak: drives the editor's core against simulated processors in
// this process for a while, one or several at once, with faults, and checks
// that nothing is lost. Prints one summary line; exit 0 pass, 1 an invariant
// broken, 2 usage.

#include "SoakFleet.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <random>
#include <string>
#include <system_error>

namespace {

constexpr int kMaxProcessors = 64;

struct SoakOptions {
    int minutes = 60;
    int processors = 1;
    uint64_t seed = 0;
    bool seedGiven = false;
};

bool ParseNumber(const char* text, unsigned long long max, unsigned long long* value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-' || parsed > max) return false;
    *value = parsed;
    return true;
}

bool ParseOptions(int argc, char** argv, SoakOptions* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) return false;
        unsigned long long value = 0;
        if (name == "--minutes" && ParseNumber(argv[++i], 24 * 60, &value) && value > 0) {
            options->minutes = static_cast<int>(value);
        } else if (name == "--processors" && ParseNumber(argv[++i], kMaxProcessors, &value) &&
                   value > 0) {
            options->processors = static_cast<int>(value);
        } else if (name == "--seed" && ParseNumber(argv[++i], UINT64_MAX, &value)) {
            options->seed = value;
            options->seedGiven = true;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    SoakOptions options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: fxtune-soak [--minutes N] [--processors N] [--seed S]\n");
        return 2;
    }
    // One heap for every thread: glibc otherwise gives threads arenas of their
    // own, up to eight per core, each keeping the pages it touched, so the
    // link's and the jobs' coming and going would show as growth for the
    // first several minutes that is no leak.
    mallopt(M_ARENA_MAX, 1);
    if (!options.seedGiven) options.seed = std::random_device{}();
    // Never out of this machine, whatever the core is asked.
    setenv("FXTUNE_LOOPBACK_ONLY", "1", 1);

    char pattern[] = "/tmp/fxtune-soak-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("fxtune-soak: temporary folder");
        return 1;
    }
    const std::filesystem::path folder = pattern;
    bool passed = false;
    std::string summary, violation, recent;
    {
        fx::SoakFleet fleet(options.processors, options.minutes, options.seed, folder);
        passed = fleet.Run();
        summary = fleet.Summary();
        violation = fleet.FirstViolation();
        recent = fleet.RecentActions();
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    if (!passed)
        std::fprintf(stderr, "soak: %s (seed %llu)\nlast actions:\n%s", violation.c_str(),
                     static_cast<unsigned long long>(options.seed), recent.c_str());
    std::printf("%s\n", summary.c_str());
    return passed ? 0 : 1;
}
