#pragma once

#include <functional>
#include <memory>
#include <string>

namespace fx {

class Processor;

// Serves one of the daemon's processors on a loopback TCP port as if it were
// a networked processor, so the editor and fxtunectl work with a processor
// the daemon holds (on the network or on USB) unchanged, beside the daemon.
//
// The port answers each client's heartbeat itself and passes its commands
// into the processor's outbox, in order with the daemon's own, each posted
// for confirmation so that the outbox's matching tells whose answer a reply
// is: a reply goes to the client whose command it answers; what answers no
// command (the processor's own news: a mode loaded at its panel, a learned
// key, a panel report) and replies 5 and 6 go to every client; the answers
// to the daemon's own commands go to none. A client never hears another's
// answer where it could take it for its own. A client's change, once the
// processor answered it, is applied to the daemon's store too (a mode load
// or reset reads the processor again). A client's let-go releases the port,
// not the processor. While the daemon's processor is not linked, clients are
// turned away and those connected are closed.
//
// Served on the link's event loop (link/LinkLoop.h); the processor outlives
// the port.
class ForwardingPort {
public:
    ForwardingPort(Processor& processor, std::string processorName);
    ~ForwardingPort(); // stops
    ForwardingPort(const ForwardingPort&) = delete;
    ForwardingPort& operator=(const ForwardingPort&) = delete;

    // Listens on address (a loopback IPv4 address) and port (0: a free one).
    // False with a one-line reason in error when it cannot. The callbacks
    // below are taken as they are now.
    bool Start(const std::string& address, int port, std::string& error);
    // The port listened on, 0 before Start.
    int Port() const { return m_port; }
    const std::string& ProcessorName() const { return m_name; }
    // Clients connected now.
    int ClientCount() const;
    // Closes every client and the listening socket. Not from a handler of
    // the port's own.
    void Stop();

    // After a client's change was answered by the processor and applied to
    // the store: on the daemon's state thread when it has one, else on the
    // event loop. Never blocks.
    std::function<void()> onClientChange;
    // A client came or went, on the event loop (optional).
    std::function<void()> onClientsChanged;

private:
    struct Core;

    Processor& m_processor;
    std::string m_name;
    int m_port = 0;
    std::shared_ptr<Core> m_core;
};

} // namespace fx
