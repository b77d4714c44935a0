#include "state/JobThreads.h"

#include "state/Processor.h"

#include <algorithm>

JobThreads& JobThreads::Instance() {
    return fx::CurrentProcessor().JobThreadsOf();
}

JobThreads::~JobThreads() {
    JoinAll();
}

void JobThreads::Start(std::function<void()> body) {
    if (m_inPlace) {
        body();
        return;
    }
    JoinFinished();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([body = std::move(body), done] {
        body();
        done->store(true);
    });
    std::lock_guard<std::mutex> lock(m_mutex);
    m_jobs.push_back(Job{std::move(thread), std::move(done)});
}

void JobThreads::JoinFinished() {
    std::vector<Job> finished;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto firstFinished =
            std::stable_partition(m_jobs.begin(), m_jobs.end(), [](const Job& job) {
                return !job.done->load() || job.thread.get_id() == std::this_thread::get_id();
            });
        std::move(firstFinished, m_jobs.end(), std::back_inserter(finished));
        m_jobs.erase(firstFinished, m_jobs.end());
    }
    // A finished job is past its last statement: its join returns at once.
    for (Job& job : finished) job.thread.join();
}

void JobThreads::JoinAll() {
    // A job may start another (a reply 5 during a read): loop until none is left.
    for (;;) {
        std::vector<Job> jobs;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            jobs.swap(m_jobs);
        }
        if (jobs.empty()) return;
        for (Job& job : jobs) {
            if (job.thread.get_id() == std::this_thread::get_id())
                job.thread.detach();
            else
                job.thread.join();
        }
    }
}
