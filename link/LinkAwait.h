#pragma once

#include "link/LinkTask.h"
#include "link/WakeList.h"

#include <functional>

// The waits of a task (link/LinkTask.h): each suspends it on the event loop
// and resumes it there, its link bound, so no thread waits for the processor.
namespace fx {

// Waits ms of link time.
Task<void> AsyncSleepMs(int ms);
// Waits up to ms of link time until done() holds, looking again whenever the
// list wakes its waiters; returns done().
Task<bool> AsyncWaitUntil(WakeList& list, std::function<bool()> done, int ms);
// WaitAllWritten (link/LinkOutbox.h) as a task.
Task<bool> AsyncWaitAllWritten();

} // namespace fx
