#pragma once

#include "core/listener_enumerator.h"

#include <cerrno>

namespace vantu::test {

// An enumeration that finds the kernel's socket dump unavailable, as in a sandbox without
// sock_diag, and so lists through `tool`.
inline ListenerEnumerator withoutSocketDump(ListenerScan tool = ListenerScan(), ListenerEnumerator::Pause pause = {}) {
    return ListenerEnumerator(
        []() -> std::variant<std::vector<platform::ListeningSocket>, int> { return EPROTONOSUPPORT; }, std::move(tool),
        std::move(pause));
}

// The real socket dump, with a pause a test can use to change the world under it.
inline ListenerEnumerator withKernelDump(ListenerEnumerator::Pause pause) {
    return ListenerEnumerator(&platform::dumpListeningSockets, ListenerScan(), std::move(pause));
}

}  // namespace vantu::test
