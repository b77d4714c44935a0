#pragma once

#include "link/DeviceRecords.h"
#include "link/ImageChunks.h"
#include "link/WakeList.h"

#include <array>
#include <bitset>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

// What the processor has answered: the reply dispatcher notes every reply it
// handles. A tally holds a count per reply code and which image chunks of the
// running whole-image read arrived whole; a copy taken before sending is the
// mark that later replies are measured from.
struct ReplyTally {
    std::array<uint64_t, 256> counts{};
    uint64_t total = 0;
    // Replies that answer a change (AnswersChange), and the record bytes 2..4
    // of the last error report (reply 10): error code and the command it names.
    uint64_t changeAnswers = 0;
    std::array<uint8_t, 3> lastError{};
    std::bitset<kImageChunkCount> chunks; // of the current collection

    uint64_t CountSince(const ReplyTally& mark, uint8_t code) const {
        return counts[code] - mark.counts[code];
    }
    uint64_t TotalSince(const ReplyTally& mark) const { return total - mark.total; }
    uint64_t ChangeAnswersSince(const ReplyTally& mark) const {
        return changeAnswers - mark.changeAnswers;
    }
};

// Whether a reply answers a change on the waiting path: processors
// acknowledge with the generic reply 20, with 9 for a DSP write, or by
// repeating the command's code; an error report (10) answers it too, as a
// refusal. Requests' data replies, radio frames and learned keys do not.
bool AnswersChange(uint8_t code);

// Jobs and commands wait here for the replies they need; a link that goes
// away wakes every waiter (NotifyLinkGone). A whole-image read collects the
// image chunks into a copy of its own, so the editor's image is replaced only
// by a complete one.
namespace fx {
class Link;
}

class ReplyLedger {
public:
    explicit ReplyLedger(fx::Link& link) : m_link(link) {}
    ReplyLedger(const ReplyLedger&) = delete;
    ReplyLedger& operator=(const ReplyLedger&) = delete;

    // Dispatcher side: every reply, after it took effect; an error report
    // passes its bytes 2..4.
    void NoteReply(uint8_t code, const std::array<uint8_t, 3>& error = {});
    // An image chunk of reply 48 (declaredLength as the reply says, available
    // the data bytes that came). While a read collects, the bytes go to its
    // copy and a whole chunk at its own address counts as arrived; returns
    // false when no read collects (the caller writes the image).
    bool CollectImageChunk(int address, int declaredLength, const uint8_t* data, int available);

    // Starts collecting the image from scratch (no chunk arrived yet).
    void BeginImageCollection();
    // Stops collecting. When every chunk arrived, copies the collected image
    // into image and returns true; otherwise leaves image alone.
    bool EndImageCollection(uint8_t* image);

    // The identity as the processor reported it (replies 126..129), kept
    // here for the read job, which decides on it on its own thread; the
    // mirror of the store changes on the state thread.
    void UpdateIdentity(const std::function<void(IdentityRecord&)>& update);
    IdentityRecord ReportedIdentity() const;

    ReplyTally Tally() const;
    // Waits up to ms of link time until done holds for the tally, or the link
    // is gone; returns whether done holds.
    bool WaitUntil(const std::function<bool(const ReplyTally&)>& done, int ms);
    // Wakes every waiter (they look at the link again).
    void WakeAll();
    // The tasks waiting for a reply (link/LinkAwait.h).
    fx::WakeList& Wakes() { return m_wakes; }

private:
    fx::Link& m_link;
    fx::WakeList m_wakes;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    ReplyTally m_tally;
    bool m_collecting = false;
    std::array<uint8_t, kImageSize> m_image{};
    IdentityRecord m_identity{};
};

// The current link's ledger (link/Link.h).
ReplyLedger& Replies();
