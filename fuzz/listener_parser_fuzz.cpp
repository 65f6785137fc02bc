// Feeds arbitrary bytes to the listing-tool parser and checks what it promises: it never
// fails, and what it returns is sorted and holds only real ports and non-empty commands.
#include "core/listener_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto listeners = vantu::ListenerParser::parse(text, [](int32_t pid) -> std::optional<vantu::ProcessIdentity> {
        if (pid % 3 == 0) {
            return std::nullopt;
        }
        return vantu::ProcessIdentity{pid, 1000, 1, 0};
    });
    for (qsizetype i = 0; i < listeners.size(); ++i) {
        const auto& listener = listeners.at(i);
        if (listener.port == 0 || listener.command.isEmpty()) {
            std::abort();
        }
        if (i > 0) {
            const auto& previous = listeners.at(i - 1);
            if (previous.port > listener.port || (previous.port == listener.port && previous.pid > listener.pid)) {
                std::abort();
            }
        }
    }
    return 0;
}
