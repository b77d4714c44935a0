#include "link/Link.h"

#include "link/LinkLoop.h"
#include "link/LinkState.h"
#include "link/NetLink.h"
#include "link/NetLinkPart.h"
#include "link/ReplySink.h"
#include "link/UsbLink.h"
#include "link/UsbLinkPart.h"

namespace fx {
namespace {

// Takes every reply and keeps nothing: a bare link's sink.
class NoReplySink final : public IReplySink {
public:
    void StatusReceived(const std::array<uint8_t, kStatusBlockSize>&) override {}
    void CurrentModeReceived(int) override {}
    void ParameterWritten() override {}
    void ModeLoaded() override {}
    void IdentityReceived(std::function<void(IdentityRecord&)>) override {}
    void ImageChunkReceived(int, int, const uint8_t*, int) override {}
    void PanelChunkReceived(int, int, const uint8_t*, int) override {}
    void LearnedKeyReceived(uint8_t, uint8_t, uint8_t) override {}
    void RemoteKeysReceived(const uint8_t*, int) override {}
    void MachineSettingsReceived(const std::array<uint8_t, kMachineSettingsSize>&) override {}
    void LinkClosed() override {}
};

NoReplySink& NoReplies() {
    static NoReplySink none;
    return none;
}

// The link this thread works with (allowed process-wide: it only names
// which processor's object the thread serves).
thread_local Link* t_boundLink = nullptr;

} // namespace

Link::Link() : m_net(std::make_unique<NetLinkPart>()), m_usb(std::make_unique<UsbLinkPart>()) {}

Link::~Link() {
    Shutdown();
}

void Link::Shutdown() {
    LinkScope scope(*this);
    ::CloseLinkThreads();
}

LinkFlags& Link::Flags() {
    LinkFlags* flags = m_flags.load(std::memory_order_acquire);
    return flags ? *flags : m_ownFlags;
}

void Link::UseFlags(LinkFlags* flags) {
    m_flags.store(flags, std::memory_order_release);
}

IReplySink& Link::ReplySink() {
    IReplySink* sink = m_replySink.load(std::memory_order_acquire);
    return sink ? *sink : NoReplies();
}

void Link::SetReplySink(IReplySink* sink) {
    m_replySink.store(sink, std::memory_order_release);
}

IRecordSink& Link::RecordSink() {
    IRecordSink* sink = m_recordSink.load(std::memory_order_acquire);
    return sink ? *sink : m_outbox;
}

void Link::SetRecordSink(IRecordSink* sink) {
    m_recordSink.store(sink, std::memory_order_release);
}

bool Link::Usable() {
    return Flags().connected && !Flags().readThreadEnd;
}

void Link::SetReplyTap(ReplyTap tap) {
    auto installed = tap ? std::make_shared<const ReplyTap>(std::move(tap)) : nullptr;
    std::lock_guard lock(m_tapMutex);
    m_tap = std::move(installed);
}

void Link::TapReply(const uint8_t* record, int count, const ReplyMatch& match) {
    std::shared_ptr<const ReplyTap> tap;
    {
        std::lock_guard lock(m_tapMutex);
        tap = m_tap;
    }
    if (tap) (*tap)(record, count, match);
}

void Link::NotifyGone() {
    m_replyEvent.Interrupt();
    m_ledger.WakeAll();
    m_outbox.WakeWaiters();
}

void Link::GiveUpAwaitedReply() {
    m_outbox.GiveUpInFlight();
    Flags().awaitReply = false;
    m_replyEvent.Set();
}

// Closes the default link's connection when the run ends, so its threads end
// before the process's other objects they use go.
class ShutdownAtExit {
public:
    explicit ShutdownAtExit(Link& link) : m_link(link) {}
    ~ShutdownAtExit() { m_link.Shutdown(); }

private:
    Link& m_link;
};

Link& DefaultLink() {
    // The loop first: it is stopped after the default link was closed.
    DefaultLinkLoop();
    static Link* const link = new Link;
    static ShutdownAtExit closer{*link};
    return *link;
}

Link& CurrentLink() {
    Link* bound = t_boundLink;
    return bound ? *bound : DefaultLink();
}

LinkScope::LinkScope(Link& link) : m_previous(t_boundLink) {
    t_boundLink = &link;
}

LinkScope::~LinkScope() {
    t_boundLink = m_previous;
}

} // namespace fx
