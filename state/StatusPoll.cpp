#include "state/StatusPoll.h"

std::atomic<bool> g_bStatusPoll{true};
