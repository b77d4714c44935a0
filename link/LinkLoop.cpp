#include "link/LinkLoop.h"

#include <asio/executor_work_guard.hpp>

namespace fx {
namespace {

// Two threads: a handler that hands a reply to the view and waits for it
// (a learned key) holds up only the links that share its thread.
constexpr int kLoopThreads = 2;

class StopAtExit {
public:
    explicit StopAtExit(LinkLoop& loop) : m_loop(loop) {}
    ~StopAtExit() { m_loop.Stop(); }

private:
    LinkLoop& m_loop;
};

} // namespace

LinkLoop::LinkLoop(int threads) : m_work(asio::make_work_guard(m_context)) {
    for (int i = 0; i < threads; ++i) m_threads.emplace_back([this] { m_context.run(); });
}

LinkLoop::~LinkLoop() {
    Stop();
}

void LinkLoop::Stop() {
    m_work.reset();
    m_context.stop();
    for (std::thread& thread : m_threads) {
        if (!thread.joinable()) continue;
        if (thread.get_id() == std::this_thread::get_id())
            thread.detach(); // stopped from one of its own handlers
        else
            thread.join();
    }
}

LinkLoop& DefaultLinkLoop() {
    // Never destroyed; its threads are joined at the end of the run.
    static LinkLoop* const loop = new LinkLoop(kLoopThreads);
    static StopAtExit stopper{*loop};
    return *loop;
}

} // namespace fx
