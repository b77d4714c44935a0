#include "state/SyncJobs.h"

#include "link/CommandFrames.h"
#include "link/DebugLog.h"
#include "link/LinkClock.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "link/ReplyDispatcher.h"
#include "link/ReplyLedger.h"
#include "link/ReplyWatch.h"
#include "link/StateThread.h"
#include "link/ViewNotifier.h"
#include "state/DeviceIdentity.h"
#include "state/DeviceMirrors.h"
#include "state/JobThreads.h"
#include "state/ParamImage.h"
#include "state/Processor.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace {

using ImageCopy = std::array<uint8_t, kImageSize>;

// std::to_array expands one template argument per byte, which costs GCC
// seconds for an image this size; a plain copy does the same work.
ImageCopy CopyOf(const uint8_t (&image)[kImageSize]) {
    ImageCopy copy;
    std::copy(std::begin(image), std::end(image), copy.begin());
    return copy;
}

// The editor's image as it is now (read under the state lock, so a thread
// other than the state thread may take it).
ImageCopy CurrentImage() {
    fx::StateGuard lock(fx::StateLock());
    return CopyOf(g_ParamImage());
}

constexpr int kJobStartPauseMs = 100; // lets the reply that started the job settle
constexpr int kJobEndPauseMs = 50;
// Asking for what stayed unanswered: the first ask and two more.
constexpr int kAskRounds = 3;
// An unknown model is asked for its identity once more.
constexpr int kIdentityRounds = 2;
// Requests going out without any reply for this long: the processor stopped answering.
constexpr int kSilenceMs = 3 * kReplyWaitMs;

fx::SyncJobQueue& Jobs() {
    return fx::CurrentProcessor().Jobs();
}

void ReportProgress() {
    if (SyncProgressCallback callback = Jobs().progress.load())
        callback(static_cast<int>(Replies().Tally().chunks.count()), kImageChunkCount);
}

uint8_t HighByte(int value) {
    return static_cast<uint8_t>((value >> 8) & 0xFF);
}
uint8_t LowByte(int value) {
    return static_cast<uint8_t>(value & 0xFF);
}

SyncResult Failure(SyncOutcome outcome, std::string missing = {}) {
    return {outcome, std::move(missing)};
}

// Watches a job's sends: the link must still be there, and a processor that
// lets kSilenceMs pass without any reply while requests go out has stopped
// answering (each lost reply would cost every further request 2 s).
class SendWatch {
public:
    SendWatch() : m_lastTotal(Replies().Tally().total), m_lastReplyMs(LinkNowMs()) {}

    // Before each send: Completed to go on, else why the job stops.
    SyncOutcome Check() {
        if (!LinkUsable()) return SyncOutcome::LinkLost;
        const uint64_t total = Replies().Tally().total;
        const int64_t now = LinkNowMs();
        if (total != m_lastTotal) {
            m_lastTotal = total;
            m_lastReplyMs = now;
        }
        return now - m_lastReplyMs >= kSilenceMs ? SyncOutcome::NoAnswer : SyncOutcome::Completed;
    }

private:
    uint64_t m_lastTotal;
    int64_t m_lastReplyMs;
};

// One request of a read: the short command and whether its answer is in.
struct Request {
    std::vector<uint8_t> command;
    std::function<bool(const ReplyTally&)> answered;
    std::string name;
};

Request AskFor(uint8_t code, const char* name, const ReplyTally& since) {
    return {
        {code}, [code, since](const ReplyTally& t) { return t.CountSince(since, code) > 0; }, name};
}

Request AskForChunk(int chunk) {
    const int address = ImageChunkAddress(chunk);
    return {{CMD_READ_IMAGE, HighByte(address), LowByte(address),
             static_cast<uint8_t>(ImageChunkLength(chunk))},
            [chunk](const ReplyTally& t) { return t.chunks.test(static_cast<size_t>(chunk)); },
            "image chunk at " + std::to_string(address)};
}

std::string Unanswered(const std::vector<const Request*>& requests) {
    std::string names;
    for (const Request* request : requests) names += (names.empty() ? "" : ", ") + request->name;
    return names;
}

std::vector<const Request*> Pending(const std::vector<Request>& requests) {
    const ReplyTally now = Replies().Tally();
    std::vector<const Request*> pending;
    for (const Request& request : requests)
        if (!request.answered(now)) pending.push_back(&request);
    return pending;
}

// Sends the requests and waits for their answers; what stays unanswered is
// asked for again, up to kAskRounds in all. The processor answers one command
// after the other, so once the last request sent is answered, the earlier
// ones still missing are lost and need not be waited for.
SyncResult AskUntilAnswered(const std::vector<Request>& requests, SendWatch& watch) {
    for (int round = 0; round < kAskRounds; ++round) {
        const std::vector<const Request*> pending = Pending(requests);
        if (pending.empty()) return {};
        for (const Request* request : pending) {
            if (const SyncOutcome stop = watch.Check(); stop != SyncOutcome::Completed)
                return Failure(stop, Unanswered(Pending(requests)));
            SendShortCmd(request->command.data(), static_cast<int>(request->command.size()));
            fx::WaitAllWritten(); // paced: after the previous reply, or its wait
            ReportProgress();
        }
        const Request* last = pending.back();
        const bool settled = Replies().WaitUntil(
            [&](const ReplyTally& t) {
                return last->answered(t) ||
                       std::all_of(pending.begin(), pending.end(),
                                   [&](const Request* r) { return r->answered(t); });
            },
            kReplyWaitMs);
        ReportProgress();
        if (!LinkUsable()) return Failure(SyncOutcome::LinkLost);
        // The last reply is given up: asking again need not wait for it.
        if (!settled) GiveUpAwaitedReply();
    }
    const std::vector<const Request*> pending = Pending(requests);
    return pending.empty() ? SyncResult{} : Failure(SyncOutcome::NoAnswer, Unanswered(pending));
}

std::vector<Request> IdentityRequests(const ReplyTally& since) {
    return {AskFor(CMD_GET_MODULE_NAME, "module name", since),
            AskFor(CMD_GET_CMD_VERSION, "command-set version", since),
            AskFor(CMD_GET_VERSION1, "first version string", since),
            AskFor(CMD_GET_VERSION2, "second version string", since)};
}

// Module name, command-set version and the two version strings, all four
// answered during this job. An unknown model is asked once more (its name
// may have come garbled); a known model with another version is final.
SyncResult ReadIdentity(const ReplyTally& jobStart, SendWatch& watch) {
    const std::vector<Request> identity = IdentityRequests(jobStart);
    for (int round = 0; round < kIdentityRounds; ++round) {
        // Each round asks all four again.
        const SyncResult result = AskUntilAnswered(IdentityRequests(Replies().Tally()), watch);
        if (result.outcome == SyncOutcome::LinkLost) return result;
        // Decided on the identity as reported: the mirror changes on the state thread.
        const IdentityRecord reported = Replies().ReportedIdentity();
        if (Pending(identity).empty() && IsKnownModel(reported.moduleName))
            return IsCompatible(reported) ? SyncResult{} : Failure(SyncOutcome::Incompatible);
    }
    const std::vector<const Request*> missing = Pending(identity);
    if (missing.empty()) return Failure(SyncOutcome::Incompatible);
    return Failure(SyncOutcome::NoAnswer, Unanswered(missing));
}

SyncResult ReadImageAndSettings(const ReplyTally& jobStart, SendWatch& watch) {
    std::vector<Request> requests = {AskFor(CMD_GET_MODE, "current mode", jobStart)};
    for (int chunk = 0; chunk < kImageChunkCount; ++chunk) requests.push_back(AskForChunk(chunk));
    requests.push_back(AskFor(CMD_GET_MACHINE_SETTINGS, "machine settings", jobStart));
    requests.push_back(AskFor(CMD_GET_REMOTE_KEYS, "remote keys", jobStart));
    return AskUntilAnswered(requests, watch);
}

void StoreResult(SyncResult fx::SyncJobQueue::*slot, const SyncResult& result) {
    fx::SyncJobQueue& jobs = Jobs();
    std::lock_guard lock(jobs.resultMutex);
    jobs.*slot = result;
}

SyncResult LoadResult(SyncResult fx::SyncJobQueue::*slot) {
    fx::SyncJobQueue& jobs = Jobs();
    std::lock_guard lock(jobs.resultMutex);
    return jobs.*slot;
}

void BeginJob() {
    ClearStatusBlock();
    g_bJobIdle() = false;
    LinkSleepMs(kJobStartPauseMs);
}

void EndJob(int jobKind, const SyncResult& result, const char* endLine) {
    PostToView(WM_JOB_ENDED, jobKind, static_cast<intptr_t>(result.outcome));
    ClearStatusBlock();
    g_bJobIdle() = true;
    DebugLogText(endLine);
}

void DelayedReadThreadProc() {
    BeginJob();
    const SyncResult result = SynchronizeData();
    EndJob(0, result, "End thread: Delay Read SynchronizeData\n");
}

void WriteImageChunks(const uint8_t* image, SendWatch& watch) {
    for (int chunk = 0; chunk < kImageChunkCount && watch.Check() == SyncOutcome::Completed;
         ++chunk) {
        const int address = ImageChunkAddress(chunk);
        SendDeviceCmd(CMD_WRITE_IMAGE, HighByte(address), LowByte(address),
                      static_cast<uint8_t>(ImageChunkLength(chunk)), image + address);
        fx::WaitAllWritten();
        if (SyncProgressCallback callback = Jobs().progress.load())
            callback(chunk + 1, kImageChunkCount);
    }
    if (watch.Check() == SyncOutcome::Completed) {
        SendShortCmd({CMD_WRITE_IMAGE_END});
        fx::WaitAllWritten();
    }
}

// Every chunk and the end of the write confirmed: one answer each, as the
// confirmed changes take it (link/ReplyWatch.h), in the order they were sent.
SyncResult ConfirmWrite(const ReplyTally& jobStart) {
    constexpr uint64_t kCommands = kImageChunkCount + 1;
    auto settled = [&](const ReplyTally& t) {
        return t.CountSince(jobStart, REPLY_ERROR) > 0 ||
               t.ChangeAnswersSince(jobStart) >= kCommands;
    };
    const bool done = Replies().WaitUntil(settled, kReplyWaitMs);
    const ReplyTally now = Replies().Tally();
    if (now.CountSince(jobStart, REPLY_ERROR) > 0) {
        const fx::Confirmation refused{fx::Confirmation::Outcome::Refused, now.lastError};
        return Failure(SyncOutcome::Refused, refused.ErrorWords());
    }
    if (done) return {};
    if (!LinkUsable()) return Failure(SyncOutcome::LinkLost);
    const uint64_t answers = now.ChangeAnswersSince(jobStart);
    std::string missing;
    if (answers < kImageChunkCount)
        missing = std::to_string(kImageChunkCount - static_cast<int>(answers)) + " of " +
                  std::to_string(kImageChunkCount) + " image chunks";
    if (answers < kCommands)
        missing += (missing.empty() ? "" : ", ") + std::string("the end of the write");
    return Failure(SyncOutcome::NoAnswer, missing);
}

void WriteAllJob(const ImageCopy& image);

// The jobs run one after the other on one job thread of their processor; a
// job asked for while the same kind already waits is that one.
using JobKind = fx::SyncJobQueue::Kind;

void RunQueuedJobs() {
    fx::SyncJobQueue& jobs = Jobs();
    for (;;) {
        JobKind kind;
        ImageCopy image;
        {
            std::lock_guard lock(jobs.queueMutex);
            if (jobs.queue.empty()) {
                jobs.workerRunning = false;
                return;
            }
            kind = jobs.queue.front();
            jobs.queue.pop_front();
            if (kind == JobKind::Write) image = jobs.imageToWrite;
        }
        if (kind == JobKind::Read)
            DelayedReadThreadProc();
        else
            WriteAllJob(image);
    }
}

// True when the job was queued, false when one of its kind already waits.
bool QueueJob(JobKind kind, const ImageCopy* image = nullptr) {
    fx::Processor& processor = fx::CurrentProcessor();
    fx::SyncJobQueue& jobs = processor.Jobs();
    {
        std::lock_guard lock(jobs.queueMutex);
        if (image) jobs.imageToWrite = *image;
        if (std::find(jobs.queue.begin(), jobs.queue.end(), kind) != jobs.queue.end()) return false;
        jobs.queue.push_back(kind);
        if (jobs.workerRunning) return true;
        jobs.workerRunning = true;
    }
    processor.JobThreadsOf().Start([&processor] {
        fx::ProcessorScope scope(processor);
        RunQueuedJobs();
    });
    return true;
}

void WriteAllJob(const ImageCopy& image) {
    BeginJob();
    g_bQueuedSend() = false;
    const ReplyTally jobStart = Replies().Tally();
    SendWatch watch;
    WriteImageChunks(image.data(), watch);
    SyncResult result = ConfirmWrite(jobStart);
    g_bQueuedSend() = true;
    LinkSleepMs(kJobEndPauseMs);
    if (result.Completed()) g_bParamsChanged() = false;
    StoreResult(&fx::SyncJobQueue::lastWrite, result);
    EndJob(1, result, "End thread: SynchronizeWriteThreadProc\n");
}

} // namespace

SyncResult SynchronizeData() {
    g_bQueuedSend() = false;
    const ReplyTally jobStart = Replies().Tally();
    SendWatch watch;
    SyncResult result = ReadIdentity(jobStart, watch);
    if (result.Completed()) {
        Replies().BeginImageCollection();
        result = ReadImageAndSettings(jobStart, watch);
        uint8_t image[kImageSize];
        const bool whole = Replies().EndImageCollection(image);
        if (result.Completed() && !whole) result = Failure(SyncOutcome::NoAnswer, "image");
        if (result.Completed()) {
            // The editor's image changes on the state thread, before the
            // job's end reaches the view.
            fx::ChangeState([copy = CopyOf(image)] {
                std::copy(copy.begin(), copy.end(), g_ParamImage());
                RefreshFromImage();
            });
            g_bParamsChanged() = false;
            g_bQueuedSend() = true;
            LinkSleepMs(kJobEndPauseMs);
        }
    }
    StoreResult(&fx::SyncJobQueue::lastRead, result);
    return result;
}

void SynchronizeWriteThreadProc() {
    WriteAllJob(CurrentImage());
}

void StartDelayedRead() {
    if (QueueJob(JobKind::Read)) DebugLogText("Start thread:SynchronizeData\n");
}

void StartWriteAll() {
    const ImageCopy image = CurrentImage();
    QueueJob(JobKind::Write, &image);
}

SyncResult LastReadResult() {
    return LoadResult(&fx::SyncJobQueue::lastRead);
}

SyncResult LastWriteResult() {
    return LoadResult(&fx::SyncJobQueue::lastWrite);
}

void JoinSyncJobs() {
    fx::CurrentProcessor().JobThreadsOf().JoinAll();
}

void SetSyncProgressCallback(SyncProgressCallback callback) {
    Jobs().progress = callback;
}
