#pragma once

#include "link/ViewNotifier.h"
#include "state/Processor.h"
#include "state/SyncJobs.h"

#include <condition_variable>
#include <mutex>

namespace fx {

// The soak's window of one processor: counts its whole-image jobs as they
// end and how.
class SoakView : public IViewNotifier {
public:
    explicit SoakView(Processor& processor);
    ~SoakView() override;
    SoakView(const SoakView&) = delete;
    SoakView& operator=(const SoakView&) = delete;

    void PostViewMessage(int message, intptr_t wParam, intptr_t lParam) override;
    void SendViewMessage(int message, intptr_t wParam, intptr_t lParam) override;
    void ShowErrorBox(const std::string&, const std::string&) override {}

    // Jobs ended so far: reads (write false) or writes.
    int Ended(bool write) const;
    // Waits until more than `before` jobs of the kind have ended; false on time-out.
    bool WaitForEnd(bool write, int before, int timeoutMs) const;

private:
    Processor& m_processor;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    int m_readsEnded = 0;
    int m_writesEnded = 0;
};

} // namespace fx
