#pragma once

#include "link/ImageChunks.h"
#include "state/SyncJobs.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>

namespace fx {

// One processor's whole-image jobs (state/SyncJobs.h): what waits to run,
// the image the waiting write sends, how the last read and write ended and
// who hears of the progress.
struct SyncJobQueue {
    enum class Kind { Read, Write };

    std::mutex queueMutex;
    std::deque<Kind> queue;
    bool workerRunning = false;
    std::array<uint8_t, kImageSize> imageToWrite{};

    std::mutex resultMutex;
    SyncResult lastRead;
    SyncResult lastWrite;

    std::atomic<SyncProgressCallback> progress{nullptr};
};

} // namespace fx
