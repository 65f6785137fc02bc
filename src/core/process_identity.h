#pragma once

#include "platform/process.h"

#include <QHashFunctions>

#include <cstdint>
#include <functional>
#include <optional>

namespace vantu {

// Pins down one process instance. A pid can be reused by a newer process; the start time
// tells them apart, so two identities are equal only when all four fields are.
struct ProcessIdentity {
    int32_t pid = 0;
    uint32_t userID = 0;
    uint64_t startSeconds = 0;
    uint64_t startMicroseconds = 0;

    // The identity of the live process with that pid, or nullopt when there is none or the
    // system will not describe it.
    static std::optional<ProcessIdentity> read(int32_t pid);
    // The identity that facts read for `pid` describe.
    static ProcessIdentity of(int32_t pid, const platform::ProcessFacts& facts);

    // Whether this app may signal the process: never pid 0 or 1, never itself, only the
    // user's own. Looks at the stored fields only, never at the live process.
    [[nodiscard]] bool canTerminate() const;

    friend bool operator==(const ProcessIdentity&, const ProcessIdentity&) = default;
};

size_t qHash(const ProcessIdentity& identity, size_t seed = 0) noexcept;

// Feeds an optional value: a presence marker first, then the value.
template <typename T>
size_t qHashOptional(const std::optional<T>& value, size_t seed) noexcept {
    seed = qHashMulti(seed, value.has_value());
    return value ? qHash(*value, seed) : seed;
}

}  // namespace vantu

template <>
struct std::hash<vantu::ProcessIdentity> {
    size_t operator()(const vantu::ProcessIdentity& identity) const noexcept { return vantu::qHash(identity); }
};
