#include "service/ForwardingPort.h"

#include "link/CommandFrames.h"
#include "link/Link.h"
#include "link/LinkClock.h"
#include "link/LinkLoop.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "link/ReplyDispatcher.h"
#include "link/StateThread.h"
#include "service/ForwardedChange.h"
#include "sim/SimFrameParser.h"
#include "state/Processor.h"

#include <asio/bind_executor.hpp>
#include <asio/dispatch.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/strand.hpp>
#include <asio/write.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <deque>
#include <future>
#include <map>
#include <optional>
#include <vector>

namespace fx {
namespace {

const std::vector<uint8_t> kHeartbeat = {'$', 'H', 'B', '$'};
// As often as a processor sends its own: the clients' watchdogs live on it.
constexpr int kHeartbeatPeriodMs = 1000;
// A client's command whose answer has not come this long after it was
// written is forgotten (the outbox gave up on it long before).
constexpr int kForgetAnswerMs = 5 * kReplyWaitMs;
constexpr size_t kReceiveSize = 512;
// Byte 0 of a reply record the port makes itself.
constexpr uint8_t kReplyPrefix = 0x01;

using Outcome = CommandAnswer::Outcome;

// What answers nothing in flight may still be a late answer of a command
// given up: the acknowledgements, an error report, the data a request asks
// for. Those go to nobody. The rest is the processor's own news: a mode
// loaded or reset at its panel, a learned key, its radio module, a panel
// report, a code no command has.
bool IsProcessorNews(uint8_t code) {
    switch (code) {
    case REPLY_MODE_LOADED:
    case REPLY_MODE_RESET:
    case REPLY_RADIO:
    case REPLY_LEARNED_KEY:
    case REPLY_PANEL_CHUNK:
        return true;
    case REPLY_ACK20:
    case REPLY_ERROR:
    case CMD_ANNOUNCE_STORE:
    case CMD_STORE_MODE:
    case CMD_GET_MODE:
    case CMD_DSP_WRITE:
    case CMD_GET_STATUS:
    case CMD_READ_IMAGE:
    case CMD_WRITE_IMAGE:
    case CMD_WRITE_IMAGE_END:
    case CMD_ABANDON_LEARN:
    case CMD_GET_REMOTE_KEYS:
    case CMD_WRITE_REMOTE_KEYS:
    case CMD_RESET_PROCESSOR:
    case CMD_GET_VERSION2:
    case CMD_GET_CMD_VERSION:
    case CMD_GET_MODULE_NAME:
    case CMD_GET_VERSION1:
    case CMD_WRITE_PANEL:
    case CMD_LET_GO:
    case CMD_WRITE_MACHINE_SETTINGS:
    case CMD_GET_MACHINE_SETTINGS:
        return false;
    default:
        return true;
    }
}

// One connected client: its socket, the frames it sends, what waits to be
// written to it, and its commands whose answers have not come.
struct ForwardedClient {
    ForwardedClient(asio::ip::tcp::socket connected, int number)
        : socket(std::move(connected)), id(number) {}

    asio::ip::tcp::socket socket;
    int id;
    std::unique_ptr<SimFrameParser> parser;
    std::array<uint8_t, kReceiveSize> received{};
    std::deque<std::vector<uint8_t>> outgoing;
    bool writing = false;
    bool closed = false;
    std::vector<uint64_t> waiting; // tickets of its commands
};

} // namespace

// The port on the event loop: everything below runs on its strand, and the
// handlers hold it, so one that outlives the port finds it stopped.
struct ForwardingPort::Core : std::enable_shared_from_this<ForwardingPort::Core> {
    using Client = ForwardedClient;

    // A client's command in the processor's outbox, waiting for its answer.
    struct Asked {
        int client = 0; // 0: the client is gone; the answer still reaches the store
        std::vector<uint8_t> command;
        std::optional<Outcome> settled; // the outbox settled it before its reply was seen
    };

    Core(Processor& owner, std::function<void()> change, std::function<void()> clients)
        : processor(owner), strand(asio::make_strand(DefaultLinkLoop().Context())),
          acceptor(strand), ticker(strand), onClientChange(std::move(change)),
          onClientsChanged(std::move(clients)) {}

    // Binds the acceptor to the port; listening or not.
    asio::error_code Bind();
    // Clients can connect while the processor is linked; otherwise their
    // connection is refused, as by a host with nothing on that port.
    void FollowLink(bool linked);
    void Accept();
    void Serve(asio::ip::tcp::socket socket);
    void Receive(const std::shared_ptr<Client>& client);
    void OnCommand(Client& client, const uint8_t* payload, int count);
    void OnReply(const std::vector<uint8_t>& reply, const ReplyMatch& match);
    void Broadcast(const std::vector<uint8_t>& reply, int except);
    bool WouldTakeForItsOwn(const Client& client, uint8_t code,
                            const std::array<uint8_t, 3>& error) const;
    // A reply record, framed.
    void Send(Client& client, const std::vector<uint8_t>& record) {
        SendRaw(client, SimFrameParser::Frame(record));
    }
    void SendRaw(Client& client, std::vector<uint8_t> bytes);
    void Write(const std::shared_ptr<Client>& client);
    void Close(Client& client);
    void Forget(uint64_t ticket);
    void Applied(const std::vector<uint8_t>& command);
    void Tick();
    void SweepAnswers();
    void ArmTicker();
    void StopHere();
    void ClientsChanged() {
        clientCount = static_cast<int>(clients.size());
        if (onClientsChanged) onClientsChanged();
    }

    Processor& processor;
    asio::strand<asio::io_context::executor_type> strand;
    asio::ip::tcp::acceptor acceptor;
    asio::ip::tcp::endpoint endpoint;
    bool listening = false;
    unsigned acceptRound = 0; // only the newest accept accepts on
    asio::steady_timer ticker;
    const std::function<void()> onClientChange;
    const std::function<void()> onClientsChanged;
    std::map<int, std::shared_ptr<Client>> clients;
    std::map<uint64_t, Asked> asked; // by ticket
    int lastClient = 0;
    bool stopped = false;
    std::atomic<int> clientCount{0};
};

asio::error_code ForwardingPort::Core::Bind() {
    asio::error_code error;
    acceptor.open(endpoint.protocol(), error);
    if (!error) acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true), error);
    if (!error) acceptor.bind(endpoint, error);
    if (error) {
        asio::error_code ignored;
        acceptor.close(ignored);
    }
    return error;
}

void ForwardingPort::Core::FollowLink(bool linked) {
    if (linked == listening) return;
    asio::error_code error;
    if (linked) {
        if (!acceptor.is_open()) error = Bind();
        if (!error) acceptor.listen(asio::socket_base::max_listen_connections, error);
        listening = !error;
        if (listening) Accept();
        return;
    }
    // A bound socket that does not listen refuses every connection.
    acceptor.close(error);
    listening = false;
    Bind(); // should the port be taken meanwhile, it is bound again once free
}

void ForwardingPort::Core::Accept() {
    const unsigned round = ++acceptRound;
    acceptor.async_accept(
        asio::bind_executor(strand, [self = shared_from_this(),
                                     round](asio::error_code error, asio::ip::tcp::socket socket) {
            if (self->stopped || round != self->acceptRound || !self->listening) return;
            if (error == asio::error::operation_aborted) return;
            if (!error) self->Serve(std::move(socket));
            self->Accept();
        }));
}

void ForwardingPort::Core::Serve(asio::ip::tcp::socket socket) {
    asio::error_code ignored;
    if (!processor.Link().Usable()) {
        // Nothing to forward to: the client hears its link close at once.
        socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        socket.close(ignored);
        return;
    }
    socket.set_option(asio::ip::tcp::no_delay(true), ignored);
    auto client = std::make_shared<Client>(std::move(socket), ++lastClient);
    Client* raw = client.get();
    client->parser = std::make_unique<SimFrameParser>(
        [this, raw](const uint8_t* payload, int count) { OnCommand(*raw, payload, count); },
        // The client's echo of the port's heartbeat: it lives.
        [] {});
    clients[client->id] = client;
    ClientsChanged();
    Receive(client);
}

void ForwardingPort::Core::Receive(const std::shared_ptr<Client>& client) {
    client->socket.async_read_some(
        asio::buffer(client->received),
        asio::bind_executor(
            strand, [self = shared_from_this(), client](asio::error_code error, size_t count) {
                if (self->stopped || client->closed) return;
                if (error || count == 0) return self->Close(*client);
                client->parser->Feed(client->received.data(), static_cast<int>(count));
                if (!client->closed) self->Receive(client);
            }));
}

void ForwardingPort::Core::OnCommand(Client& client, const uint8_t* payload, int count) {
    if (client.closed || count < 2) return;
    // Radio-module bytes are the client's acknowledgement of a radio frame,
    // which the daemon's link has acknowledged already.
    if (payload[0] != kNetTagCommand) return;
    const uint8_t* record = payload + 1;
    const int size = std::min(count - 1, kMaxRecordSize);
    if (record[0] == CMD_LET_GO) {
        // The client lets go of the port; the daemon keeps the processor.
        Send(client, {kReplyPrefix, REPLY_ACK20, CMD_LET_GO, 0, 0});
        return;
    }
    Link& link = processor.Link();
    std::vector<uint64_t> tickets;
    if (link.Usable()) {
        ConfirmScope confirming(tickets);
        link.Outbox().Post(record, size);
    }
    if (tickets.empty() || tickets.front() == 0) return Close(client);
    asked[tickets.front()] = {client.id, std::vector<uint8_t>(record, record + size), {}};
    client.waiting.push_back(tickets.front());
}

void ForwardingPort::Core::OnReply(const std::vector<uint8_t>& reply, const ReplyMatch& match) {
    if (stopped || reply.size() < 2) return;
    const uint8_t code = reply[1];
    int asker = 0;
    if (match.answeredInFlight && match.ticket != 0) {
        if (auto it = asked.find(match.ticket); it != asked.end()) {
            const Asked answered = std::move(it->second);
            Forget(match.ticket);
            processor.Link().Outbox().Abandon(match.ticket);
            asker = answered.client;
            // The store first: a client that hears its change confirmed finds
            // it in the daemon's state.
            if (code != REPLY_ERROR) Applied(answered.command);
            if (auto client = clients.find(asker); client != clients.end())
                Send(*client->second, reply);
        }
    }
    const bool modeNews = code == REPLY_MODE_LOADED || code == REPLY_MODE_RESET;
    if (modeNews || (!match.answeredInFlight && IsProcessorNews(code))) Broadcast(reply, asker);
}

void ForwardingPort::Core::Broadcast(const std::vector<uint8_t>& reply, int except) {
    std::array<uint8_t, 3> error{};
    for (size_t i = 0; i < error.size() && i + 2 < reply.size(); ++i) error[i] = reply[i + 2];
    for (auto& [id, client] : clients)
        if (id != except && !WouldTakeForItsOwn(*client, reply[1], error)) Send(*client, reply);
}

// A client waiting for the answer to a command this reply would answer takes
// it for that answer: it hears of it when its own comes.
bool ForwardingPort::Core::WouldTakeForItsOwn(const Client& client, uint8_t code,
                                              const std::array<uint8_t, 3>& error) const {
    return std::any_of(client.waiting.begin(), client.waiting.end(), [&](uint64_t ticket) {
        const auto it = asked.find(ticket);
        return it != asked.end() && AnswersCommand(it->second.command.front(), code, error);
    });
}

void ForwardingPort::Core::Applied(const std::vector<uint8_t>& command) {
    const ForwardedEffect effect =
        ApplyForwardedChange(processor, command.data(), static_cast<int>(command.size()));
    if (effect == ForwardedEffect::None || !onClientChange) return;
    // After the change itself, where the daemon's store takes its changes.
    ProcessorScope scope(processor);
    HandToStateThread(onClientChange);
}

void ForwardingPort::Core::Forget(uint64_t ticket) {
    const auto it = asked.find(ticket);
    if (it == asked.end()) return;
    if (auto client = clients.find(it->second.client); client != clients.end())
        std::erase(client->second->waiting, ticket);
    asked.erase(it);
}

void ForwardingPort::Core::SendRaw(Client& client, std::vector<uint8_t> bytes) {
    if (client.closed) return;
    client.outgoing.push_back(std::move(bytes));
    if (auto it = clients.find(client.id); it != clients.end()) Write(it->second);
}

void ForwardingPort::Core::Write(const std::shared_ptr<Client>& client) {
    if (client->writing || client->closed || client->outgoing.empty()) return;
    client->writing = true;
    asio::async_write(client->socket, asio::buffer(client->outgoing.front()),
                      asio::bind_executor(strand, [self = shared_from_this(),
                                                   client](asio::error_code error, size_t) {
                          client->writing = false;
                          if (self->stopped || client->closed) return;
                          if (error) return self->Close(*client);
                          client->outgoing.pop_front();
                          self->Write(client);
                      }));
}

// Its commands already in the outbox still go out, and their answers still
// reach the store: the processor may have them.
void ForwardingPort::Core::Close(Client& client) {
    if (client.closed) return;
    client.closed = true;
    for (const uint64_t ticket : client.waiting)
        if (auto it = asked.find(ticket); it != asked.end()) it->second.client = 0;
    client.waiting.clear();
    clients.erase(client.id); // the handler that closes it holds it

    clientCount = static_cast<int>(clients.size()); // counted before the client hears it
    asio::error_code ignored;
    client.socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    client.socket.close(ignored);
    if (!stopped && onClientsChanged) onClientsChanged();
}

void ForwardingPort::Core::ArmTicker() {
    ticker.expires_after(std::chrono::milliseconds(LinkRealMs(kHeartbeatPeriodMs)));
    ticker.async_wait(
        asio::bind_executor(strand, [self = shared_from_this()](asio::error_code error) {
            if (error || self->stopped) return;
            self->Tick();
            self->ArmTicker();
        }));
}

// The clients' heartbeat; clients of a processor no longer linked are closed.
void ForwardingPort::Core::Tick() {
    const bool linked = processor.Link().Usable();
    FollowLink(linked);
    std::vector<std::shared_ptr<Client>> all;
    for (auto& [id, client] : clients) all.push_back(client);
    for (const auto& client : all) {
        if (linked)
            SendRaw(*client, kHeartbeat);
        else
            Close(*client);
    }
    SweepAnswers();
}

// Commands whose answers never came to the port are forgotten; one the
// outbox settled with a late answer of its own counts as answered then.
void ForwardingPort::Core::SweepAnswers() {
    LinkOutbox& outbox = processor.Link().Outbox();
    std::vector<uint64_t> done;
    std::vector<std::vector<uint8_t>> lateAnswered;
    for (auto& [ticket, entry] : asked) {
        if (entry.settled) {
            // Its reply was not seen as its answer since the last look.
            if (*entry.settled == Outcome::Answered) lateAnswered.push_back(entry.command);
            done.push_back(ticket);
            continue;
        }
        const CommandAnswer answer = outbox.PollAnswer(ticket, kForgetAnswerMs);
        if (answer.outcome == Outcome::Answered || answer.outcome == Outcome::Refused)
            entry.settled = answer.outcome;
        else if (answer.outcome != Outcome::Pending)
            done.push_back(ticket);
    }
    for (const uint64_t ticket : done) Forget(ticket);
    for (const auto& command : lateAnswered) Applied(command);
}

void ForwardingPort::Core::StopHere() {
    if (stopped) return;
    stopped = true;
    listening = false;
    asio::error_code ignored;
    acceptor.close(ignored);
    ticker.cancel();
    std::vector<std::shared_ptr<Client>> all;
    for (auto& [id, client] : clients) all.push_back(client);
    for (const auto& client : all) Close(*client);
    LinkOutbox& outbox = processor.Link().Outbox();
    for (const auto& [ticket, entry] : asked) outbox.Abandon(ticket);
    asked.clear();
    clientCount = 0;
}

ForwardingPort::ForwardingPort(Processor& processor, std::string processorName)
    : m_processor(processor), m_name(std::move(processorName)) {}

ForwardingPort::~ForwardingPort() {
    Stop();
}

bool ForwardingPort::Start(const std::string& address, int port, std::string& error) {
    if (m_core) {
        error = "the forwarding port of " + m_name + " is already listening";
        return false;
    }
    asio::error_code failure;
    const asio::ip::address_v4 host = asio::ip::make_address_v4(address, failure);
    if (failure || !host.is_loopback()) {
        error = "forwarding port address " + address + " is no loopback address";
        return false;
    }
    if (port < 0 || port > 65535) {
        error = "forwarding port " + std::to_string(port) + " is out of range 0..65535";
        return false;
    }
    auto core = std::make_shared<Core>(m_processor, onClientChange, onClientsChanged);
    core->endpoint = {host, static_cast<unsigned short>(port)};
    failure = core->Bind();
    if (failure) {
        error = "can't listen on " + address + ":" + std::to_string(port) + " for " + m_name +
                ": " + failure.message();
        return false;
    }
    // The same port whenever it listens again.
    core->endpoint.port(core->acceptor.local_endpoint().port());
    m_port = core->endpoint.port();
    m_core = core;
    std::weak_ptr<Core> weak = core;
    m_processor.Link().SetReplyTap(
        [weak](const uint8_t* record, int count, const ReplyMatch& match) {
            const std::shared_ptr<Core> port = weak.lock();
            if (!port) return;
            asio::post(port->strand, [port, reply = std::vector<uint8_t>(record, record + count),
                                      match] { port->OnReply(reply, match); });
        });
    // Nothing of the port runs on the loop yet: it listens before Start returns.
    core->FollowLink(m_processor.Link().Usable());
    asio::dispatch(core->strand, [core] {
        if (!core->stopped) core->ArmTicker();
    });
    return true;
}

int ForwardingPort::ClientCount() const {
    return m_core ? m_core->clientCount.load() : 0;
}

void ForwardingPort::Stop() {
    if (!m_core) return;
    m_processor.Link().SetReplyTap({});
    const std::shared_ptr<Core> core = std::move(m_core);
    if (core->strand.running_in_this_thread() || DefaultLinkLoop().Context().stopped()) {
        core->StopHere();
        return;
    }
    std::promise<void> stopped;
    asio::dispatch(core->strand, [&] {
        core->StopHere();
        stopped.set_value();
    });
    stopped.get_future().wait();
}

} // namespace fx
