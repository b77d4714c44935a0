#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The threads of the whole-image jobs, one per job. Finished threads are
// joined when the next job starts, the rest when the run ends or when
// JoinAll is called, so no job thread outlives the program's globals.
class JobThreads {
public:
    static JobThreads& Instance();
    ~JobThreads();

    void Start(std::function<void()> body);
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
};
