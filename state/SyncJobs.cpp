#include "state/SyncJobs.h"

#include "link/CommandFrames.h"
#include "link/DebugLog.h"
#include "link/DeviceMirrors.h"
#include "link/LinkClock.h"
#include "link/LinkState.h"
#include "link/ViewNotifier.h"
#include "state/DeviceIdentity.h"
#include "state/JobThreads.h"
#include "state/ParamImage.h"

#include <atomic>

namespace {

constexpr int kJobStartPauseMs = 100; // lets the reply that started the job settle
constexpr int kJobEndPauseMs = 50;
constexpr int kChunkSize = kMaxCommandData;                             // 56
constexpr int kChunkCount = (kImageSize + kChunkSize - 1) / kChunkSize; // 60
constexpr int kLastChunkAddress = kChunkSize * (kChunkCount - 1);       // 3304
constexpr int kLastChunkSize = kImageSize - kLastChunkAddress;          // 46

std::atomic<SyncProgressCallback> g_progressCallback{nullptr};

void ReportProgress(int chunksDone) {
    if (SyncProgressCallback callback = g_progressCallback.load())
        callback(chunksDone, kChunkCount);
}

// Link time, so a faster clock (tests, fuzzing) shortens the pauses too.
void SleepMs(int ms) {
    LinkSleepMs(ms);
}

bool LinkOpen() {
    return g_bConnected.load();
}

int ChunkLength(int chunk) {
    return chunk == kChunkCount - 1 ? kLastChunkSize : kChunkSize;
}

uint8_t HighByte(int value) {
    return static_cast<uint8_t>((value >> 8) & 0xFF);
}
uint8_t LowByte(int value) {
    return static_cast<uint8_t>(value & 0xFF);
}

// Module name, command-set version and the two version strings. False when
// the link closed on the way.
bool RequestIdentity() {
    SendShortCmd({CMD_GET_MODULE_NAME});
    SendShortCmd({CMD_GET_CMD_VERSION});
    if (!LinkOpen()) return false;
    SendShortCmd({CMD_GET_VERSION1});
    SendShortCmd({CMD_GET_VERSION2});
    return LinkOpen();
}

// Every chunk's reply 48 lands in the image through the dispatcher. A closed
// link ends the loop early: the chunks would go nowhere.
void RequestImageChunks() {
    for (int chunk = 0; chunk < kChunkCount && LinkOpen(); ++chunk) {
        const int address = chunk * kChunkSize;
        SendShortCmd({CMD_READ_IMAGE, HighByte(address), LowByte(address),
                      static_cast<uint8_t>(ChunkLength(chunk))});
        ReportProgress(chunk + 1);
    }
}

void WriteImageChunks() {
    for (int chunk = 0; chunk < kChunkCount; ++chunk) {
        const int address = chunk * kChunkSize;
        SendDeviceCmd(CMD_WRITE_IMAGE, HighByte(address), LowByte(address),
                      static_cast<uint8_t>(ChunkLength(chunk)), g_ParamImage + address);
        ReportProgress(chunk + 1);
    }
    SendShortCmd({CMD_WRITE_IMAGE_END});
}

void BeginJob() {
    ClearStatusBlock();
    g_bJobIdle = false;
    SleepMs(kJobStartPauseMs);
}

void EndJob(int jobKind, const char* endLine) {
    PostToView(WM_JOB_ENDED, jobKind);
    ClearStatusBlock();
    g_bJobIdle = true;
    DebugLogText(endLine);
}

void DelayedReadThreadProc() {
    BeginJob();
    SynchronizeData();
    EndJob(0, "End thread: Delay Read SynchronizeData\n");
}

} // namespace

void SynchronizeData() {
    g_bQueuedSend = false;
    if (!RequestIdentity()) return;
    // A first answer may have been lost or garbled: an unknown model is
    // asked once more before the processor is taken for a foreign one.
    if (!IsKnownModel() && !RequestIdentity()) return;
    if (!IsCompatible()) return; // the view reports the mismatch
    SendShortCmd({CMD_GET_MODE});
    if (!LinkOpen()) return;
    RequestImageChunks();
    SendShortCmd({CMD_GET_MACHINE_SETTINGS});
    if (!LinkOpen()) return;
    RefreshFromImage();
    if (!LinkOpen()) return;
    SendShortCmd({CMD_GET_REMOTE_KEYS});
    g_bParamsChanged = false;
    g_bQueuedSend = true;
    SleepMs(kJobEndPauseMs);
}

void SynchronizeWriteThreadProc() {
    BeginJob();
    g_bQueuedSend = false;
    WriteImageChunks();
    g_bQueuedSend = true;
    SleepMs(kJobEndPauseMs);
    g_bParamsChanged = false;
    EndJob(1, "End thread: SynchronizeWriteThreadProc\n");
}

void StartDelayedRead() {
    DebugLogText("Start thread:SynchronizeData\n");
    JobThreads::Instance().Start(DelayedReadThreadProc);
}

void StartWriteAll() {
    JobThreads::Instance().Start(SynchronizeWriteThreadProc);
}

void JoinSyncJobs() {
    JobThreads::Instance().JoinAll();
}

void SetSyncProgressCallback(SyncProgressCallback callback) {
    g_progressCallback = callback;
}
