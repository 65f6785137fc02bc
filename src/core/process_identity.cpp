#include "core/process_identity.h"

#include "platform/process.h"

namespace vantu {

std::optional<ProcessIdentity> ProcessIdentity::read(int32_t pid) {
    const auto facts = platform::readProcessFacts(pid);
    if (!facts) {
        return std::nullopt;
    }
    return of(pid, *facts);
}

ProcessIdentity ProcessIdentity::of(int32_t pid, const platform::ProcessFacts& facts) {
    return ProcessIdentity{
        .pid = pid,
        .userID = facts.effectiveUid,
        .startSeconds = facts.startSeconds,
        .startMicroseconds = facts.startMicroseconds,
    };
}

bool ProcessIdentity::canTerminate() const {
    return pid >= 2 && pid != platform::currentPid() && userID == platform::currentUid();
}

size_t qHash(const ProcessIdentity& identity, size_t seed) noexcept {
    return qHashMulti(seed, identity.pid, identity.userID, identity.startSeconds, identity.startMicroseconds);
}

}  // namespace vantu
