#pragma once

#include <functional>
#include <mutex>

// The device state (the parameter image, its working copy, the editor values
// and the mirrors of the processor's small memories) has one writer: the
// state thread. The editor makes its window's thread the state thread; the
// link's reader and the job threads hand their changes over to it, and they
// run there in the order they were handed over. Without a state thread (the
// command line, the headless tests) a change runs on the calling thread.
// Either way every change runs under the state lock.
namespace fx {

class IStateThread {
public:
    virtual ~IStateThread() = default;
    // True when called on the state thread.
    virtual bool IsCurrent() const = 0;
    // Asks the state thread to call RunHandedOver() soon; called from any thread.
    virtual void Wake() = 0;
};

// Installs the state thread (nullptr: none). Removing it first runs what is
// still handed over, on the calling thread.
void SetStateThread(IStateThread* thread);

// A change of the device state. On the state thread it runs at once, after
// everything handed over before it; without a state thread it runs at once;
// from any other thread it is handed over and the call returns at once.
void ChangeState(std::function<void()> change);

// Always handed over: runs later on the state thread, in order with the
// changes, outside the state lock (a message to the window). Without a state
// thread it runs at once.
void HandToStateThread(std::function<void()> work);

// Runs what was handed over, in order (the state thread's Wake leads here).
void RunHandedOver();

// Held around every change of the device state, and by a thread other than
// the state thread that reads it (a copy of the image for the write job).
std::recursive_mutex& StateLock();
using StateGuard = std::lock_guard<std::recursive_mutex>;

} // namespace fx
