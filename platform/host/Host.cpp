#include "platform/host/Host.h"

#include <stdexcept>

namespace {
Host* activeHost = nullptr;
}

Host& ActiveHost() {
    if (activeHost == nullptr) throw std::logic_error("no host set");
    return *activeHost;
}

void SetActiveHost(Host* host) {
    activeHost = host;
}
