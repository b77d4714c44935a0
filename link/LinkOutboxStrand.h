#pragma once

#include <asio/io_context.hpp>
#include <asio/strand.hpp>

namespace fx {

class LinkOutbox;

// The outbox's writer strand on the event loop (link/LinkOutbox.h). The link's
// network session runs its receive and watchdog on it too, so a reply's
// handler writes the next record itself (LinkOutbox::TakeReplies).
asio::strand<asio::io_context::executor_type> OutboxStrand(LinkOutbox& outbox);

} // namespace fx
