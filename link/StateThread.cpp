#include "link/StateThread.h"

#include "link/Link.h"

namespace fx {
namespace {

void RunLocked(StateHandover& handover, const std::function<void()>& work) {
    StateGuard lock(handover.Lock());
    work();
}

// Handed-over work runs with its link bound, whichever thread runs it.
void Queue(Link& link, StateHandover::Item item, IStateThread& thread) {
    link.Handover().Push({[&link, work = std::move(item.work)] {
                              LinkScope scope(link);
                              work();
                          },
                          item.changesState});
    thread.Wake();
}

} // namespace

std::recursive_mutex& StateLock() {
    return CurrentLink().Handover().Lock();
}

void SetStateThread(IStateThread* thread) {
    CurrentLink().Handover().SetThread(thread);
    if (!thread) RunHandedOver();
}

void RunHandedOver() {
    StateHandover& handover = CurrentLink().Handover();
    // One at a time: work handed over while one runs keeps its place behind it.
    StateHandover::Item item;
    while (handover.Pop(item)) {
        if (item.changesState)
            RunLocked(handover, item.work);
        else
            item.work();
    }
}

void ChangeState(std::function<void()> change) {
    Link& link = CurrentLink();
    IStateThread* thread = link.Handover().Thread();
    if (thread && !thread->IsCurrent()) {
        Queue(link, {std::move(change), true}, *thread);
        return;
    }
    if (thread) RunHandedOver();
    RunLocked(link.Handover(), change);
}

void HandToStateThread(std::function<void()> work) {
    Link& link = CurrentLink();
    if (IStateThread* thread = link.Handover().Thread()) {
        Queue(link, {std::move(work), false}, *thread);
        return;
    }
    work();
}

} // namespace fx
