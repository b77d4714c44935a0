#include "link/ReplyLedger.h"

#include "link/CommandFrames.h"
#include "link/Link.h"
#include "link/LinkClock.h"
#include "link/LinkState.h"
#include "link/ReplyDispatcher.h"

#include <algorithm>
#include <cstring>

bool AnswersChange(uint8_t code) {
    switch (code) {
    case REPLY_ACK20:
    case REPLY_DSP_WRITE:
    case REPLY_ERROR:
    // The changes' own codes, repeated: store, image write, remote keys,
    // reset, panel write, let-go, machine settings, abandoned learning.
    case CMD_ANNOUNCE_STORE:
    case CMD_STORE_MODE:
    case CMD_WRITE_IMAGE:
    case CMD_WRITE_IMAGE_END:
    case CMD_ABANDON_LEARN:
    case CMD_WRITE_REMOTE_KEYS:
    case CMD_RESET_PROCESSOR:
    case CMD_WRITE_PANEL:
    case CMD_LET_GO:
    case CMD_WRITE_MACHINE_SETTINGS:
        return true;
    default:
        return false;
    }
}

void ReplyLedger::NoteReply(uint8_t code, const std::array<uint8_t, 3>& error) {
    {
        std::lock_guard lock(m_mutex);
        ++m_tally.counts[code];
        ++m_tally.total;
        if (AnswersChange(code)) ++m_tally.changeAnswers;
        if (code == REPLY_ERROR) m_tally.lastError = error;
    }
    m_changed.notify_all();
    m_wakes.WakeAll();
}

bool ReplyLedger::CollectImageChunk(int address, int declaredLength, const uint8_t* data,
                                    int available) {
    std::lock_guard lock(m_mutex);
    if (!m_collecting) return false;
    if (address < 0 || address >= kImageSize) return true;
    const int length = std::clamp(std::min(declaredLength, available), 0, kImageSize - address);
    if (length > 0) std::memcpy(m_image.data() + address, data, static_cast<size_t>(length));
    const int chunk = address / kImageChunkSize;
    if (address == ImageChunkAddress(chunk) && declaredLength == ImageChunkLength(chunk) &&
        length == declaredLength)
        m_tally.chunks.set(static_cast<size_t>(chunk));
    return true;
}

void ReplyLedger::BeginImageCollection() {
    std::lock_guard lock(m_mutex);
    m_collecting = true;
    m_tally.chunks.reset();
}

bool ReplyLedger::EndImageCollection(uint8_t* image) {
    std::lock_guard lock(m_mutex);
    m_collecting = false;
    if (!m_tally.chunks.all()) return false;
    std::memcpy(image, m_image.data(), m_image.size());
    return true;
}

void ReplyLedger::UpdateIdentity(const std::function<void(IdentityRecord&)>& update) {
    std::lock_guard lock(m_mutex);
    update(m_identity);
}

IdentityRecord ReplyLedger::ReportedIdentity() const {
    std::lock_guard lock(m_mutex);
    return m_identity;
}

ReplyTally ReplyLedger::Tally() const {
    std::lock_guard lock(m_mutex);
    return m_tally;
}

bool ReplyLedger::WaitUntil(const std::function<bool(const ReplyTally&)>& done, int ms) {
    std::unique_lock lock(m_mutex);
    LinkWaitCondition(m_changed, lock, ms, [&] { return done(m_tally) || !m_link.Usable(); });
    return done(m_tally);
}

void ReplyLedger::WakeAll() {
    // Taking the lock orders this after any waiter's last look at the link.
    { std::lock_guard lock(m_mutex); }
    m_changed.notify_all();
    m_wakes.WakeAll();
}

ReplyLedger& Replies() {
    return fx::CurrentLink().Ledger();
}
