#pragma once

#include "core/listener.h"
#include "platform/system_service.h"

#include <QList>

namespace vantu::ListenerFacts {

// Reads what telling dev servers from the rest needs to know of each of the user's own
// listeners' processes, each process once: its executable, and whether it is one of the
// system's own programs. A pid that no longer names the process found listening says nothing
// about that process, and is left unread. Blocks on /proc: run it off the main thread.
void read(QList<Listener>& listeners, platform::RuntimeNamePredicate isRuntimeName);

}  // namespace vantu::ListenerFacts
