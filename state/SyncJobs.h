#pragma once

#include <string>

// The whole-image jobs. They run one at a time, as tasks of their processor
// on the event loop (link/LinkTask.h), and each ends
// by posting message 1002 to the view (wParam 0 after a read, 1 after a
// write; lParam the job's SyncOutcome).

// How a job ended.
enum class SyncOutcome : int {
    Completed = 0,    // read: everything arrived; write: the processor confirmed it all
    Incompatible = 1, // read: the processor is no supported model or version
    NoAnswer = 2,     // requests stayed unanswered after asking again
    LinkLost = 3,     // the link went away during the job
    Refused = 4,      // write: the processor answered with an error report (reply 10)
};

struct SyncResult {
    SyncOutcome outcome = SyncOutcome::Completed;
    std::string missing; // what the processor left unanswered (NoAnswer), or its error (Refused)

    bool Completed() const { return outcome == SyncOutcome::Completed; }
};

// Writes "Start thread:SynchronizeData\n" and queues the delayed-read job:
// clear the status block and g_bJobIdle, sleep 100 ms, SynchronizeData, post
// 1002/0, clear the status block, set g_bJobIdle. Called by the reply
// dispatcher for replies 5 and 6 and by the view after a link opened. A read
// asked for while one is already waiting is the same read: however many
// replies ask, one job runs at a time and at most one more follows.
void StartDelayedRead();

// Queues the whole-image write job of the editor's image as it is now (after
// a mode file was loaded into it).
void StartWriteAll();

// Reads identity, current mode, the image, machine settings and remote keys,
// each request written by the outbox before the next goes, asking again for
// what stays unanswered. The editor's image is replaced (and the editor
// values refreshed, on the state thread) only when the whole image arrived;
// otherwise it stays as it was. Runs on the event loop while the calling
// thread (never the loop's) waits for it.
SyncResult SynchronizeData();

// The whole-image write job of the editor's image: 60 chunks of command 49,
// then 50, the wait for the processor's confirmations and the 1002/1
// message. Runs on the event loop while the calling thread waits for it
// (StartWriteAll queues it instead).
void SynchronizeWriteThreadProc();

// How the last read and the last write job ended.
SyncResult LastReadResult();
SyncResult LastWriteResult();

// Waits until every job queued so far has ended (closing the editor, tests).
// Never on the event loop.
void JoinSyncJobs();
// With true, a job runs to its end before the call that asked for it returns
// (the fuzz targets, whose link never answers, stay deterministic).
void RunSyncJobsInPlace(bool inPlace);

// Progress of the whole-image transfer (chunks done of 60), called on the job
// thread; for front ends without the dialog. nullptr removes it.
using SyncProgressCallback = void (*)(int chunksDone, int chunkCount);
void SetSyncProgressCallback(SyncProgressCallback callback);
