#include "link/ReplyDispatcher.h"

#include "link/CommandFrames.h"
#include "link/DebugLog.h"
#include "link/DeviceMirrors.h"
#include "link/LinkClock.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "link/ReplyLedger.h"
#include "link/StateThread.h"
#include "link/ViewNotifier.h"
#include "state/ParamImage.h"
#include "state/SyncJobs.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

namespace {
std::atomic<bool> g_errorBoxShown{false};

// A reply as received: the record zero-padded to a whole report, and how
// many data bytes (from byte 5) really arrived.
struct Reply {
    uint8_t bytes[kMaxReplyRecord] = {};
    int count = 0;

    int DataAvailable() const { return std::max(0, count - 5); }
};

// Copies `length` data bytes (record byte 5 on) into target[offset..], never
// past targetSize and never more than arrived.
void CopyData(const Reply& reply, int length, uint8_t* target, int offset, int targetSize) {
    const int n = std::min({length, targetSize - offset, reply.DataAvailable()});
    if (n > 0) std::memcpy(target + offset, reply.bytes + 5, static_cast<size_t>(n));
}

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
    if (g_errorBoxShown.exchange(true)) return;
    char text[96];
    std::snprintf(text, sizeof text, "参数错误,代码0x:%02X,指令1:0x%02X,指令2:0x%02X ",
                  reply.bytes[2], reply.bytes[3], reply.bytes[4]);
    // Posted: the view shows it on its thread while replies go on being handled.
    if (IViewNotifier* view = GetViewNotifier()) view->ShowErrorBox(text, "Error");
}

// The mirrors change on the state thread (link/StateThread.h); a handler
// hands over a copy of the reply and returns.

void HandleStatus(const Reply& reply) {
    fx::ChangeState([reply] {
        CopyFromByte2(reply, g_StatusBlock, kStatusBlockSize);
        // Status byte 7 high nibble is the music pitch plus 5.
        const DspParamEntry* pitch = FindDspParam(4, 21);
        if (pitch && pitch->intVar) *pitch->intVar = (reply.bytes[9] >> 4) - 5;
    });
}

// One reply's change of the identity record: applied to the copy the ledger
// keeps for the read job (at once) and to the mirror (on the state thread).
void UpdateIdentity(const Reply& reply, void (*update)(const Reply&, IdentityRecord&)) {
    Replies().UpdateIdentity([&](IdentityRecord& identity) { update(reply, identity); });
    fx::ChangeState([reply, update] { update(reply, g_Identity); });
}

void HandleRadioFrame(const Reply& reply) {
    // The radio frame follows its length byte; an acknowledgement needs none.
    if (reply.bytes[3] == 6) return;
    // At once, not behind what the outbox holds: the radio module waits for it.
    const uint8_t ack[] = {6};
    fx::RecordSink().WriteNow(fx::RecordKind::Radio, ack, sizeof ack);
    LinkSleepMs(20);
}

void HandleImageChunk(const Reply& reply) {
    const int address = reply.bytes[2] * 256 + reply.bytes[3];
    if (address >= kImageSize) return;
    // A whole-image read takes the chunk into its own copy.
    if (Replies().CollectImageChunk(address, reply.bytes[4], reply.bytes + 5,
                                    reply.DataAvailable()))
        return;
    fx::ChangeState(
        [reply, address] { CopyData(reply, reply.bytes[4], g_ParamImage, address, kImageSize); });
}

void StorePanelChunk(const Reply& reply) {
    const int address = reply.bytes[2] * 256 + reply.bytes[3];
    const int length = reply.bytes[4];
    if (address < kSurroundLevelsOffset) {
        // FF FF in place of the data clears every band record.
        if (reply.bytes[5] == 0xFF && reply.bytes[6] == 0xFF)
            std::memset(g_PanelImage, 0, kSurroundLevelsOffset);
        else
            CopyData(reply, length, g_PanelImage, address, kPanelSize);
        return;
    }
    if (address == kSurroundLevelsOffset || address == kPanelLevelOffset) {
        CopyData(reply, length, g_PanelImage, address, kPanelSize);
    } else if (address == kSurroundLayoutOffset) {
        CopyData(reply, length, g_PanelImage, address, kPanelSize);
        DecodeSurroundLayout();
    }
}

void HandlePanelChunk(const Reply& reply) {
    fx::ChangeState([reply] { StorePanelChunk(reply); });
}

void HandleLearnedKey(const Reply& reply) {
    fx::ChangeState([reply] {
        g_RemoteKeyBlock[0] = reply.bytes[2];
        if (reply.bytes[3] < kRemoteKeyBlockSize) g_RemoteKeyBlock[reply.bytes[3]] = reply.bytes[4];
    });
    SendToView(WM_REMOTE_KEY_DATA, reply.bytes[4], 0);
}

void HandleMachineSettings(const Reply& reply) {
    fx::ChangeState([reply] {
        uint8_t settings[kMachineSettingsSize];
        CopyFromByte2(reply, settings, kMachineSettingsSize);
        std::memcpy(g_MachineSettingsDevice, settings, kMachineSettingsSize);
        std::memcpy(g_MachineSettingsWork, settings, kMachineSettingsSize);
    });
}

void HandleRemoteKeys(const Reply& reply) {
    fx::ChangeState([reply] {
        // The block's first 16 bytes come from the processor; the rest stays.
        constexpr int kReportedKeys = 16;
        const int n = std::min(kReportedKeys, reply.count - 2);
        if (n > 0) std::memcpy(g_RemoteKeyBlock, reply.bytes + 2, static_cast<size_t>(n));
    });
}
} // namespace

void ResetErrorBoxGuard() {
    g_errorBoxShown = false;
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
        g_bAwaitReply = false;
        g_hReplyEvent.Set();
        StartDelayedRead();
        return;
    case REPLY_CURRENT_MODE:
        g_CurrentMode = reply.bytes[2];
        break;
    case REPLY_DSP_WRITE:
        g_bParamsChanged = true;
        break;
    case REPLY_ERROR:
        HandleErrorReport(reply);
        break;
    case REPLY_STATUS:
        HandleStatus(reply);
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
        HandlePanelChunk(reply);
        break;
    case REPLY_MACHINE_SETTINGS:
        HandleMachineSettings(reply);
        break;
    default:
        // 20, 49, 50 and codes the editor does not know only release a sender.
        break;
    }
    Replies().NoteReply(reply.bytes[1], {reply.bytes[2], reply.bytes[3], reply.bytes[4]});
    g_bAwaitReply = false;
    g_hReplyEvent.Set();
}
