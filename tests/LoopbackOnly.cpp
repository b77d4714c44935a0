// Linked into every test executable: however a suite is started, its sockets
// (and those of the programs it starts) may connect to 127.0.0.0/8 only.
#include <cstdlib>

namespace {
const bool g_loopbackOnly = (setenv("FXTUNE_LOOPBACK_ONLY", "1", 1), true);
} // namespace
