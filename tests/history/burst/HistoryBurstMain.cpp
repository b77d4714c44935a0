// Writes snapshots of one processor into a SQLite history as fast as it can,
// until it is killed: snapshot n has time n and image NumberedImage(n), and
// a run continues after the last snapshot a run before it left. Prints
// "ready" once its first snapshot is written.
#include "history/HistoryTestImages.h"
#include "service/history/HistoryStore.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: history_burst DATABASE\n");
        return 2;
    }
    fx::HistoryStore store;
    const fx::HistoryResult opened = store.Open(argv[1]);
    if (!opened.ok()) {
        std::fprintf(stderr, "%s\n", opened.message.c_str());
        return 1;
    }
    const auto last = store.List("burst", 0, 1);
    if (!last.ok()) {
        std::fprintf(stderr, "%s\n", last.result.message.c_str());
        return 1;
    }
    int64_t n = last.value.empty() ? 0 : last.value.back().timeMs + 1;
    // One snapshot written before the test may kill it, so every run adds one.
    store.AddSnapshot("burst", n, fx::SnapshotSource::Daemon, history_test::NumberedImage(n));
    store.Flush(std::chrono::seconds(10));
    std::printf("ready\n");
    std::fflush(stdout);
    for (++n;; ++n) {
        store.AddSnapshot("burst", n, fx::SnapshotSource::Daemon, history_test::NumberedImage(n));
        // Keeps the queue short, so what is lost to a kill is a batch or two.
        if (n % 20 == 0) store.Flush(std::chrono::seconds(10));
    }
}
