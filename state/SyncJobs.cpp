#include "state/SyncJobs.h"

#include "link/CommandFrames.h"
#include "link/DebugLog.h"
#include "link/Link.h"
#include "link/LinkAwait.h"
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
fx::Task<SyncResult> AskUntilAnswered(const std::vector<Request>& requests, SendWatch& watch) {
    for (int round = 0; round < kAskRounds; ++round) {
        const std::vector<const Request*> pending = Pending(requests);
        if (pending.empty()) co_return SyncResult{};
        for (const Request* request : pending) {
            if (const SyncOutcome stop = watch.Check(); stop != SyncOutcome::Completed)
                co_return Failure(stop, Unanswered(Pending(requests)));
            SendShortCmd(request->command.data(), static_cast<int>(request->command.size()));
            co_await fx::AsyncWaitAllWritten(); // paced: after the previous reply, or its wait
            ReportProgress();
        }
        const Request* last = pending.back();
        const bool settled = co_await fx::AsyncWaitUntil(
            Replies().Wakes(),
            [&] {
                const ReplyTally t = Replies().Tally();
                return last->answered(t) ||
                       std::all_of(pending.begin(), pending.end(),
                                   [&](const Request* r) { return r->answered(t); }) ||
                       !LinkUsable();
            },
            kReplyWaitMs);
        ReportProgress();
        if (!LinkUsable()) co_return Failure(SyncOutcome::LinkLost);
        // The last reply is given up: asking again need not wait for it.
        if (!settled) GiveUpAwaitedReply();
    }
    const std::vector<const Request*> pending = Pending(requests);
    co_return pending.empty() ? SyncResult{} : Failure(SyncOutcome::NoAnswer, Unanswered(pending));
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
fx::Task<SyncResult> ReadIdentity(const ReplyTally& jobStart, SendWatch& watch) {
    const std::vector<Request> identity = IdentityRequests(jobStart);
    for (int round = 0; round < kIdentityRounds; ++round) {
        // Each round asks all four again.
        const std::vector<Request> requests = IdentityRequests(Replies().Tally());
        const SyncResult result = co_await AskUntilAnswered(requests, watch);
        if (result.outcome == SyncOutcome::LinkLost) co_return result;
        // Decided on the identity as reported: the mirror changes on the state thread.
        const IdentityRecord reported = Replies().ReportedIdentity();
        if (Pending(identity).empty() && IsKnownModel(reported.moduleName))
            co_return IsCompatible(reported) ? SyncResult{} : Failure(SyncOutcome::Incompatible);
    }
    const std::vector<const Request*> missing = Pending(identity);
    if (missing.empty()) co_return Failure(SyncOutcome::Incompatible);
    co_return Failure(SyncOutcome::NoAnswer, Unanswered(missing));
}

fx::Task<SyncResult> ReadImageAndSettings(const ReplyTally& jobStart, SendWatch& watch) {
    std::vector<Request> requests = {AskFor(CMD_GET_MODE, "current mode", jobStart)};
    for (int chunk = 0; chunk < kImageChunkCount; ++chunk) requests.push_back(AskForChunk(chunk));
    requests.push_back(AskFor(CMD_GET_MACHINE_SETTINGS, "machine settings", jobStart));
    requests.push_back(AskFor(CMD_GET_REMOTE_KEYS, "remote keys", jobStart));
    co_return co_await AskUntilAnswered(requests, watch);
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

fx::Task<void> BeginJob() {
    ClearStatusBlock();
    g_bJobIdle() = false;
    co_await fx::AsyncSleepMs(kJobStartPauseMs);
}

void EndJob(int jobKind, const SyncResult& result, const char* endLine) {
    PostToView(WM_JOB_ENDED, jobKind, static_cast<intptr_t>(result.outcome));
    ClearStatusBlock();
    g_bJobIdle() = true;
    DebugLogText(endLine);
}

// The commands of a whole-image write (chunks 0..59, then the end, 60) and
// how the processor answered each: every command is posted for confirmation
// and waited for (at most the reply wait) before the next goes, so each is
// settled by its own answer only (link/LinkOutbox.h), whatever else the
// link carries meanwhile.
class WriteAnswers {
public:
    static constexpr int kWriteEnd = kImageChunkCount;
    static constexpr int kCommands = kImageChunkCount + 1;

    // Sends one command of the write and waits for its answer.
    fx::Task<void> Send(int command, const std::function<void()>& send) {
        std::vector<uint64_t> tickets;
        {
            fx::ConfirmScope confirming(tickets);
            send();
        }
        ++m_sent;
        if (tickets.empty()) m_missing.push_back(command);
        for (const uint64_t ticket : tickets) {
            const fx::CommandAnswer answer =
                co_await fx::AsyncWaitAnswer(ticket, kReplyWaitMs, true);
            if (answer.outcome == fx::CommandAnswer::Outcome::NoAnswer)
                m_late.emplace_back(command, ticket);
            else
                Note(command, answer);
        }
    }

    // The answers that came after their wait, each its command's own.
    void TakeLateAnswers() {
        for (const auto& [command, ticket] : m_late)
            Note(command, fx::Outbox().TakeLateAnswer(ticket));
        m_late.clear();
        std::sort(m_missing.begin(), m_missing.end());
    }

    int Sent() const { return m_sent; }
    bool Complete() const { return m_sent == kCommands && m_missing.empty() && !m_refused; }
    bool Refused() const { return m_refused; }
    const fx::Confirmation& Refusal() const { return m_refusal; }

    // What the processor did not confirm, in words.
    std::string Missing() const {
        std::vector<int> missing = m_missing;
        for (int command = m_sent; command < kCommands; ++command) missing.push_back(command);
        const bool end = !missing.empty() && missing.back() == kWriteEnd;
        if (end) missing.pop_back();
        std::string words;
        if (missing.size() > kChunksNamed) {
            words = std::to_string(missing.size()) + " of " + std::to_string(kImageChunkCount) +
                    " image chunks, the first at " +
                    std::to_string(ImageChunkAddress(missing.front()));
        } else {
            for (int chunk : missing)
                words += (words.empty() ? "" : ", ") + std::string("image chunk at ") +
                         std::to_string(ImageChunkAddress(chunk));
        }
        if (end) words += (words.empty() ? "" : ", ") + std::string("the end of the write");
        return words;
    }

private:
    static constexpr size_t kChunksNamed = 3;

    void Note(int command, const fx::CommandAnswer& answer) {
        using Outcome = fx::CommandAnswer::Outcome;
        if (answer.outcome == Outcome::Refused && !m_refused) {
            m_refused = true;
            m_refusal = {fx::Confirmation::Outcome::Refused, answer.error};
        }
        if (answer.outcome != Outcome::Answered && answer.outcome != Outcome::Refused)
            m_missing.push_back(command);
    }

    int m_sent = 0;
    std::vector<int> m_missing; // ascending once the late answers are taken
    std::vector<std::pair<int, uint64_t>> m_late;
    bool m_refused = false;
    fx::Confirmation m_refusal;
};

fx::Task<void> WriteImageChunks(const uint8_t* image, SendWatch& watch, WriteAnswers& answers) {
    for (int chunk = 0; chunk < kImageChunkCount && watch.Check() == SyncOutcome::Completed;
         ++chunk) {
        const int address = ImageChunkAddress(chunk);
        co_await answers.Send(chunk, [&] {
            SendDeviceCmd(CMD_WRITE_IMAGE, HighByte(address), LowByte(address),
                          static_cast<uint8_t>(ImageChunkLength(chunk)), image + address);
        });
        if (SyncProgressCallback callback = Jobs().progress.load())
            callback(chunk + 1, kImageChunkCount);
    }
    if (watch.Check() == SyncOutcome::Completed)
        co_await answers.Send(WriteAnswers::kWriteEnd, [] { SendShortCmd({CMD_WRITE_IMAGE_END}); });
}

// Every chunk and the end of the write confirmed, each by its own answer; a
// refusal of one is the write's; what stays unanswered is named.
SyncResult ConfirmWrite(WriteAnswers& answers) {
    answers.TakeLateAnswers();
    if (answers.Refused()) return Failure(SyncOutcome::Refused, answers.Refusal().ErrorWords());
    if (answers.Complete()) return {};
    if (!LinkUsable()) return Failure(SyncOutcome::LinkLost);
    return Failure(SyncOutcome::NoAnswer, answers.Missing());
}

fx::Task<void> WriteAllJob(ImageCopy image);
fx::Task<void> DelayedRead();

// The jobs run one after the other as tasks of their processor on the event
// loop; a job asked for while the same kind already waits is that one.
using JobKind = fx::SyncJobQueue::Kind;

fx::Task<void> RunQueuedJobs() {
    fx::SyncJobQueue& jobs = Jobs();
    for (;;) {
        JobKind kind;
        ImageCopy image;
        {
            std::lock_guard lock(jobs.queueMutex);
            if (jobs.queue.empty()) {
                jobs.workerRunning = false;
                jobs.idle.notify_all();
                co_return;
            }
            kind = jobs.queue.front();
            jobs.queue.pop_front();
            if (kind == JobKind::Write) image = jobs.imageToWrite;
        }
        if (kind == JobKind::Read)
            co_await DelayedRead();
        else
            co_await WriteAllJob(image);
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
    if (jobs.runInPlace)
        fx::RunTask(processor.Link(), RunQueuedJobs());
    else
        fx::StartTask(processor.Link(), RunQueuedJobs(), [] {});
    return true;
}

fx::Task<void> WriteAllJob(ImageCopy image) {
    co_await BeginJob();
    g_bQueuedSend() = false;
    SendWatch watch;
    WriteAnswers answers;
    co_await WriteImageChunks(image.data(), watch, answers);
    SyncResult result = ConfirmWrite(answers);
    g_bQueuedSend() = true;
    co_await fx::AsyncSleepMs(kJobEndPauseMs);
    if (result.Completed()) g_bParamsChanged() = false;
    StoreResult(&fx::SyncJobQueue::lastWrite, result);
    EndJob(1, result, "End thread: SynchronizeWriteThreadProc\n");
}

fx::Task<SyncResult> SynchronizeDataTask() {
    g_bQueuedSend() = false;
    const ReplyTally jobStart = Replies().Tally();
    SendWatch watch;
    SyncResult result = co_await ReadIdentity(jobStart, watch);
    if (result.Completed()) {
        Replies().BeginImageCollection();
        result = co_await ReadImageAndSettings(jobStart, watch);
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
        }
    }
    // Live edits are queued and coalesced again whatever became of the read.
    g_bQueuedSend() = true;
    if (result.Completed()) co_await fx::AsyncSleepMs(kJobEndPauseMs);
    StoreResult(&fx::SyncJobQueue::lastRead, result);
    co_return result;
}

fx::Task<void> DelayedRead() {
    co_await BeginJob();
    const SyncResult result = co_await SynchronizeDataTask();
    EndJob(0, result, "End thread: Delay Read SynchronizeData\n");
}

} // namespace

SyncResult SynchronizeData() {
    return fx::RunTask(fx::CurrentLink(), SynchronizeDataTask());
}

void SynchronizeWriteThreadProc() {
    fx::RunTask(fx::CurrentLink(), WriteAllJob(CurrentImage()));
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
    fx::SyncJobQueue& jobs = Jobs();
    std::unique_lock lock(jobs.queueMutex);
    jobs.idle.wait(lock, [&] { return !jobs.workerRunning; });
}

void RunSyncJobsInPlace(bool inPlace) {
    Jobs().runInPlace = inPlace;
}

void SetSyncProgressCallback(SyncProgressCallback callback) {
    Jobs().progress = callback;
}
