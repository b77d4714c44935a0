#include "sim/SimEventLoop.h"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>

#include <future>

struct SimEventLoop::Parts {
    // Run by one thread: its handlers' own posts skip the shared queue's lock.
    asio::io_context context{1};
    asio::executor_work_guard<asio::io_context::executor_type> keepRunning{context.get_executor()};
};

SimEventLoop::SimEventLoop() : m_parts(std::make_unique<Parts>()) {
    m_thread = std::thread([this] {
        m_loopThreadId = std::this_thread::get_id();
        m_parts->context.run();
    });
}

SimEventLoop::~SimEventLoop() {
    m_parts->keepRunning.reset();
    m_parts->context.stop();
    if (m_thread.joinable()) m_thread.join();
}

asio::io_context& SimEventLoop::Context() {
    return m_parts->context;
}

void SimEventLoop::RunAndWait(const std::function<void()>& work) {
    if (OnLoopThread()) {
        work();
        return;
    }
    std::promise<void> done;
    asio::post(m_parts->context, [&] {
        work();
        done.set_value();
    });
    done.get_future().wait();
}

void SimEventLoop::Post(std::function<void()> work) {
    asio::post(m_parts->context, std::move(work));
}
