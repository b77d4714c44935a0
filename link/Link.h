#pragma once

#include "link/AutoResetEvent.h"
#include "link/LinkFlags.h"
#include "link/LinkOutbox.h"
#include "link/ReplyLedger.h"
#include "link/StateHandover.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class IViewNotifier;

namespace fx {

class IReplySink;
class NetLinkPart;
class UsbLinkPart;

// Everything of one processor's link: its flags, its outbox and the events
// its writer paces on, its reply ledger and the sink its replies go to, the
// lock its transport writes under, the state hand-over of its store, and the
// network or USB connection itself with its threads. Two links in one
// process share nothing but the debug log, the clock and the HID back-end.
//
// The link's own threads run with it bound (LinkScope); code that names no
// link (the senders, the waits, the jobs) works with the bound one, and a
// thread that binds none works with the process's default link, which the
// editor and the single-processor programs use.
class Link {
public:
    Link();
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // The flags handed over by the store that owns the link, else its own.
    LinkFlags& Flags();
    void UseFlags(LinkFlags* flags);

    // Where replies take effect: the store's sink, or one that keeps nothing.
    IReplySink& ReplySink();
    void SetReplySink(IReplySink* sink);
    // Where the senders post: the outbox, or a recording sink a test installs.
    IRecordSink& RecordSink();
    void SetRecordSink(IRecordSink* sink);
    IViewNotifier* ViewNotifier() const { return m_view.load(std::memory_order_acquire); }
    void SetViewNotifier(IViewNotifier* view) { m_view.store(view, std::memory_order_release); }

    // Sees every reply as it came, once it took effect, and whose answer it
    // was (a forwarding port routes it to the client that asked). It runs on
    // the link's reader; it never waits. An empty one removes it; a call
    // already running still ends.
    using ReplyTap = std::function<void(const uint8_t* record, int count, const ReplyMatch&)>;
    void SetReplyTap(ReplyTap tap);
    // The dispatcher hands it every reply.
    void TapReply(const uint8_t* record, int count, const ReplyMatch& match);

    // Set by the dispatcher after every reply; the outbox's writer paces on
    // it. Auto-reset, created signalled.
    AutoResetEvent& ReplyEvent() { return m_replyEvent; }
    // Set by a reader thread when it leaves; a closing link waits on it.
    AutoResetEvent& ReaderEndedEvent() { return m_readerEndedEvent; }
    // Serialises the write of one USB report or one network frame.
    std::mutex& SendLock() { return m_sendLock; }
    LinkOutbox& Outbox() { return m_outbox; }
    ReplyLedger& Ledger() { return m_ledger; }
    StateHandover& Handover() { return m_handover; }
    // The reply-10 box is shown once per run of a link.
    std::atomic<bool>& ErrorBoxShown() { return m_errorBoxShown; }

    NetLinkPart& Net() { return *m_net; }
    UsbLinkPart& Usb() { return *m_usb; }

    // Open, and its reader still reading.
    bool Usable();
    // Wakes everything that waits on the link once it closed.
    void NotifyGone();
    // A reply waited for no more: the next record goes out at once.
    void GiveUpAwaitedReply();

    // The object that owns this link (the processor); nullptr for a bare link.
    void* Owner() const { return m_owner.load(std::memory_order_acquire); }
    void SetOwner(void* owner) { m_owner.store(owner, std::memory_order_release); }

    // Ends the connection and its threads (no let-go): a link being
    // destroyed, or a test resetting the process's default link.
    void Shutdown();

private:
    LinkFlags m_ownFlags;
    std::atomic<LinkFlags*> m_flags{nullptr};
    std::atomic<IReplySink*> m_replySink{nullptr};
    std::atomic<IRecordSink*> m_recordSink{nullptr};
    std::atomic<IViewNotifier*> m_view{nullptr};
    std::atomic<void*> m_owner{nullptr};
    std::atomic<bool> m_errorBoxShown{false};
    std::mutex m_tapMutex;
    std::shared_ptr<const ReplyTap> m_tap;
    AutoResetEvent m_replyEvent{true};
    AutoResetEvent m_readerEndedEvent{false};
    std::mutex m_sendLock;
    StateHandover m_handover;
    ReplyLedger m_ledger{*this};
    LinkOutbox m_outbox{*this};
    // Last: their threads end before anything above goes.
    std::unique_ptr<NetLinkPart> m_net;
    std::unique_ptr<UsbLinkPart> m_usb;
};

// The process's default link: the editor's and a single-processor program's.
// Never destroyed (a link still closing when the run ends keeps using it).
Link& DefaultLink();
// The link bound to this thread, else the default one.
Link& CurrentLink();

// Binds a link to the calling thread while it lives (scopes nest).
class LinkScope {
public:
    explicit LinkScope(Link& link);
    ~LinkScope();
    LinkScope(const LinkScope&) = delete;
    LinkScope& operator=(const LinkScope&) = delete;

private:
    Link* m_previous;
};

} // namespace fx
