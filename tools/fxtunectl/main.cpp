// fxtunectl: the processor's parameters from the command line, for
// installers and scripts.
#include "CtlCommands.h"
#include "CtlHistory.h"
#include "CtlMultiHost.h"
#include "CtlOptions.h"
#include "CtlWarnings.h"

#include "state/ParamImage.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    CtlOptions options;
    std::string error;
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(CtlUsage(), stdout);
        return kExitOk;
    }
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::printf("fxtunectl %s\n", FXTUNE_VERSION);
        return kExitOk;
    }
    // The daemon's history: through its API, not a processor.
    if (const std::vector<std::string> args(argv + 1, argv + argc); IsDaemonCommandLine(args))
        return RunDaemonCommandLine(args);
    if (!ParseCtlOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "fxtunectl: %s (fxtunectl --help shows the usage)\n", error.c_str());
        return kExitUsage;
    }
    BuildDefaultImage();
    // Several processors: refused input is refused once, before any of them is
    // contacted; warnings come from each processor's run, with its address.
    const bool several = options.hosts.size() > 1 && !IsAlignmentList(options);
    SetCtlWarnings(!several);
    const CtlResult result = several ? CheckCtlCommand(options) : RunCtlCommand(options);
    if (result.ok() && several) return RunOnEveryHost(options);
    std::fflush(stdout);
    // A diff that found differences fails without a message.
    if (!result.message.empty()) std::fprintf(stderr, "fxtunectl: %s\n", result.message.c_str());
    return result.status;
}
