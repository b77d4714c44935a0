#pragma once

// The whole-image jobs. Each runs on a thread of its own and ends by posting
// message 1002 to the view (wParam 0 after a read, 1 after a write).

// Writes "Start thread:SynchronizeData\n" and starts the delayed-read job:
// clear the status block and g_bJobIdle, sleep 100 ms, SynchronizeData, post
// 1002/0, clear the status block, set g_bJobIdle. Called by the reply
// dispatcher for replies 5 and 6 and by the view after a link opened.
void StartDelayedRead();

// Starts SynchronizeWriteThreadProc on a new thread (after a mode file was
// loaded into the image).
void StartWriteAll();

// Reads identity, current mode, the image, machine settings and remote keys
// with the waiting send path. Runs on the calling thread.
void SynchronizeData();

// The whole-image write job body: 60 chunks of command 49, then 50. Runs on
// the calling thread (StartWriteAll runs it on its own thread).
void SynchronizeWriteThreadProc();

// Waits until every job thread started so far has ended (closing the editor,
// tests). Must not be called from a job thread.
void JoinSyncJobs();

// Progress of the whole-image transfer (chunks done of 60), called on the job
// thread after each chunk; for front ends without the dialog. nullptr removes it.
using SyncProgressCallback = void (*)(int chunksDone, int chunkCount);
void SetSyncProgressCallback(SyncProgressCallback callback);
