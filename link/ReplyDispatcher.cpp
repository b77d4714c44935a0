#include "link/ReplyDispatcher.h"

#include "link/CommandFrames.h"
#include "link/DebugLog.h"
#include "link/Link.h"
#include "link/LinkClock.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "link/ReplyLedger.h"
#include "link/ReplySink.h"
#include "link/ViewNotifier.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

// A reply as received: the record zero-padded to a whole report, and how
// many data bytes (from byte 5) really arrived.
struct Reply {
    uint8_t bytes[kMaxReplyRecord] = {};
    int count = 0;

    int DataAvailable() const { return std::max(0, count - 5); }
};

// Copies record bytes 2.. into a mirror, as far as they arrived.
void CopyFromByte2(const Reply& reply, uint8_t* target, int size) {
    std::memset(target, 0, static_cast<size_t>(size));
    const int n = std::min(size, reply.count - 2);
    if (n > 0) std::memcpy(target, reply.bytes + 2, static_cast<size_t>(n));
}

// Text replies: the field is cleared, then filled two bytes at a time from
// record byte 2 until a zero byte, the end of the record (byte 59) or until
// only the terminating zero still fits.
void CopyText(const Reply& reply, char* field, int fieldSize) {
    std::memset(field, 0, static_cast<size_t>(fieldSize));
    constexpr int kLastTextByte = 59;
    for (int pos = 0; pos + 2 < fieldSize && 2 + pos + 1 <= kLastTextByte; pos += 2) {
        const uint8_t first = reply.bytes[2 + pos];
        if (first == 0) return;
        field[pos] = static_cast<char>(first);
        const uint8_t second = reply.bytes[3 + pos];
        if (second == 0) return;
        field[pos + 1] = static_cast<char>(second);
    }
}

void HandleErrorReport(const Reply& reply) {
    if (reply.bytes[2] == 0) return;
    if (fx::CurrentLink().ErrorBoxShown().exchange(true)) return;
    char text[96];
    std::snprintf(text, sizeof text, "参数错误,代码0x:%02X,指令1:0x%02X,指令2:0x%02X ",
                  reply.bytes[2], reply.bytes[3], reply.bytes[4]);
    // Posted: the view shows it on its thread while replies go on being handled.
    if (IViewNotifier* view = GetViewNotifier()) view->ShowErrorBox(text, "Error");
}

// What a reply changes goes to the device state's sink, which applies it on
// the state thread; a handler decodes the reply and returns.

template <size_t N> std::array<uint8_t, N> FromByte2(const Reply& reply) {
    std::array<uint8_t, N> block{};
    CopyFromByte2(reply, block.data(), static_cast<int>(N));
    return block;
}

// One reply's change of the identity record: applied to the copy the ledger
// keeps for the read job (at once) and to the store's (on the state thread).
void UpdateIdentity(const Reply& reply, void (*update)(const Reply&, IdentityRecord&)) {
    Replies().UpdateIdentity([&](IdentityRecord& identity) { update(reply, identity); });
    fx::DeviceReplies().IdentityReceived(
        [reply, update](IdentityRecord& identity) { update(reply, identity); });
}

void HandleRadioFrame(const Reply& reply) {
    // The radio frame follows its length byte; an acknowledgement needs none.
    if (reply.bytes[3] == 6) return;
    // At once, not behind what the outbox holds: the radio module waits for it.
    const uint8_t ack[] = {6};
    fx::RecordSink().WriteNow(fx::RecordKind::Radio, ack, sizeof ack);
    LinkSleepMs(20);
}

int ReplyAddress(const Reply& reply) {
    return reply.bytes[2] * 256 + reply.bytes[3];
}

void HandleImageChunk(const Reply& reply) {
    const int address = ReplyAddress(reply);
    if (address >= kImageSize) return;
    // A whole-image read takes the chunk into its own copy.
    if (Replies().CollectImageChunk(address, reply.bytes[4], reply.bytes + 5,
                                    reply.DataAvailable()))
        return;
    fx::DeviceReplies().ImageChunkReceived(address, reply.bytes[4], reply.bytes + 5,
                                           reply.DataAvailable());
}

void HandleLearnedKey(const Reply& reply) {
    fx::DeviceReplies().LearnedKeyReceived(reply.bytes[2], reply.bytes[3], reply.bytes[4]);
    SendToView(WM_REMOTE_KEY_DATA, reply.bytes[4], 0);
}

void HandleRemoteKeys(const Reply& reply) {
    fx::DeviceReplies().RemoteKeysReceived(reply.bytes + 2, std::max(0, reply.count - 2));
}

// Releases the outbox's next record when the reply answers the command in
// flight, then shows the reply, and whose answer it was, to the link's tap.
void NoteAnswerAndTap(const Reply& reply, const std::array<uint8_t, 3>& error) {
    fx::ReplyMatch match;
    fx::Outbox().NoteReply(reply.bytes[1], error, &match);
    fx::CurrentLink().TapReply(reply.bytes, reply.count, match);
}
} // namespace

void ResetErrorBoxGuard() {
    fx::CurrentLink().ErrorBoxShown() = false;
}

void ProcessDeviceReply(const uint8_t* record, int count) {
    Reply reply;
    reply.count = std::clamp(count, 0, kMaxReplyRecord);
    if (reply.count > 0) std::memcpy(reply.bytes, record, static_cast<size_t>(reply.count));

    switch (reply.bytes[1]) {
    case REPLY_MODE_LOADED:
    case REPLY_MODE_RESET:
        // The processor finished a mode load or reset: read the image again,
        // on a thread of its own since the read needs this one to dispatch.
        Replies().NoteReply(reply.bytes[1]);
        g_bAwaitReply() = false;
        NoteAnswerAndTap(reply, {});
        fx::DeviceReplies().ModeLoaded();
        return;
    case REPLY_CURRENT_MODE:
        fx::DeviceReplies().CurrentModeReceived(reply.bytes[2]);
        break;
    case REPLY_DSP_WRITE:
        fx::DeviceReplies().ParameterWritten();
        break;
    case REPLY_ERROR:
        HandleErrorReport(reply);
        break;
    case REPLY_STATUS:
        fx::DeviceReplies().StatusReceived(FromByte2<kStatusBlockSize>(reply));
        break;
    case REPLY_RADIO:
        HandleRadioFrame(reply);
        break;
    case REPLY_IMAGE_CHUNK:
        HandleImageChunk(reply);
        break;
    case REPLY_LEARNED_KEY:
        HandleLearnedKey(reply);
        break;
    case REPLY_REMOTE_KEYS:
        HandleRemoteKeys(reply);
        break;
    case REPLY_VERSION2:
        UpdateIdentity(reply, [](const Reply& r, IdentityRecord& id) {
            CopyText(r, id.secondVersion, sizeof id.secondVersion);
        });
        break;
    case REPLY_MODULE_NAME:
        UpdateIdentity(reply, [](const Reply& r, IdentityRecord& id) {
            CopyText(r, id.moduleName, sizeof id.moduleName);
        });
        break;
    case REPLY_VERSION1:
        UpdateIdentity(reply, [](const Reply& r, IdentityRecord& id) {
            CopyText(r, id.firstVersion, sizeof id.firstVersion);
        });
        break;
    case REPLY_CMD_VERSION:
        UpdateIdentity(
            reply, [](const Reply& r, IdentityRecord& id) { id.commandSetVersion = r.bytes[2]; });
        break;
    case REPLY_PANEL_CHUNK:
        fx::DeviceReplies().PanelChunkReceived(ReplyAddress(reply), reply.bytes[4], reply.bytes + 5,
                                               reply.DataAvailable());
        break;
    case REPLY_MACHINE_SETTINGS:
        fx::DeviceReplies().MachineSettingsReceived(FromByte2<kMachineSettingsSize>(reply));
        break;
    default:
        // 20, 49, 50 and codes the editor does not know only release a sender.
        break;
    }
    const std::array<uint8_t, 3> error = {reply.bytes[2], reply.bytes[3], reply.bytes[4]};
    Replies().NoteReply(reply.bytes[1], error);
    g_bAwaitReply() = false;
    NoteAnswerAndTap(reply, error);
}
