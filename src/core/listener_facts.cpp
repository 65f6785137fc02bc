#include "core/listener_facts.h"

#include "platform/process.h"

#include <QHash>

namespace vantu::ListenerFacts {
namespace {

struct Facts {
    std::optional<QString> executablePath;
    bool systemProgram = false;
};

Facts readFor(const Listener& listener, platform::RuntimeNamePredicate isRuntimeName) {
    if (!listener.canTerminate() || ProcessIdentity::read(listener.pid) != listener.identity) {
        return {};
    }
    Facts facts{.executablePath = platform::executablePath(listener.pid)};
    // The system's own daemons are no dev servers, even those that run under a runtime's name
    // (a python3 helper of the desktop, a node service of a system unit).
    facts.systemProgram =
        (facts.executablePath && platform::isSystemExecutable(*facts.executablePath, isRuntimeName)) ||
        platform::belongsToOtherSystemUnit(listener.pid);
    return facts;
}

}  // namespace

void read(QList<Listener>& listeners, platform::RuntimeNamePredicate isRuntimeName) {
    QHash<ProcessIdentity, Facts> known;
    for (Listener& listener : listeners) {
        if (!listener.identity) {
            continue;
        }
        auto found = known.constFind(*listener.identity);
        if (found == known.cend()) {
            found = known.insert(*listener.identity, readFor(listener, isRuntimeName));
        }
        listener.executablePath = found->executablePath;
        listener.systemProgram = found->systemProgram;
    }
}

}  // namespace vantu::ListenerFacts
