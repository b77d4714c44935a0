#pragma once

#include "link/Link.h"
#include "state/ParamStore.h"
#include "state/SyncJobQueue.h"

#include <atomic>
#include <memory>

class IJobUi;
class IJobSettings;

namespace fx {

class IImageEditObserver;

// One processor: its link (transport, outbox, dispatcher, waits), its store
// (the memory and everything drawn from it), its whole-image jobs with their
// threads and last results, and the machine mode a written file goes into.
// Two processors in one process share no reply, wait, lock or result.
//
// Code that names no processor works with the one whose link is bound to the
// calling thread (ProcessorScope; the processor's own threads bind it), else
// with the process's default processor: the editor's, and the one a
// single-processor program uses.
class Processor {
public:
    // A processor with a link of its own.
    Processor();
    // Closes the link (no let-go) and waits for the jobs before anything goes.
    ~Processor();
    Processor(const Processor&) = delete;
    Processor& operator=(const Processor&) = delete;

    fx::Link& Link() { return m_link; }
    ParamStore& Store() { return m_store; }
    SyncJobQueue& Jobs() { return m_jobs; }
    // The machine mode to store into once a written mode file was taken (-1 none).
    std::atomic<int>& PendingStoreMode() { return m_pendingStoreMode; }
    std::atomic<IImageEditObserver*>& EditObserver() { return m_editObserver; }
    // The front end that shows this processor's jobs (state/JobUi.h), nullptr: headless.
    std::atomic<IJobUi*>& JobUiSlot() { return m_jobUi; }
    std::atomic<IJobSettings*>& JobSettingsSlot() { return m_jobSettings; }

    // The process's default processor, over the default link.
    static Processor& Default();

private:
    struct AdoptDefaultLink {};
    explicit Processor(AdoptDefaultLink);

    std::unique_ptr<fx::Link> m_ownLink;
    fx::Link& m_link;
    ParamStore m_store;
    SyncJobQueue m_jobs;
    std::atomic<int> m_pendingStoreMode{-1};
    std::atomic<IImageEditObserver*> m_editObserver{nullptr};
    std::atomic<IJobUi*> m_jobUi{nullptr};
    std::atomic<IJobSettings*> m_jobSettings{nullptr};
};

// The processor bound to the calling thread, else the default one.
Processor& CurrentProcessor();

// Binds a processor (its link) to the calling thread while it lives.
class ProcessorScope {
public:
    explicit ProcessorScope(Processor& processor) : m_scope(processor.Link()) {}

private:
    LinkScope m_scope;
};

} // namespace fx
