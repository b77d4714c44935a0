#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The threads of one processor's whole-image jobs, one per job. Finished
// threads are joined when the next job starts, the rest when the processor
// goes or when JoinAll is called, so no job thread outlives its processor.
class JobThreads {
public:
    JobThreads() = default;
    JobThreads(const JobThreads&) = delete;
    JobThreads& operator=(const JobThreads&) = delete;
    // The current processor's (state/Processor.h).
    static JobThreads& Instance();
    ~JobThreads();

    void Start(std::function<void()> body);
    // With true, Start runs each job to its end on the caller's thread: the
    // fuzz targets, whose link never answers, stay deterministic and start
    // no thread per input.
    void RunJobsInPlace(bool inPlace) { m_inPlace = inPlace; }
    // Waits for every job started so far. Not from a job thread.
    void JoinAll();

private:
    struct Job {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void JoinFinished();

    std::mutex m_mutex;
    std::vector<Job> m_jobs;
    std::atomic<bool> m_inPlace{false};
};
