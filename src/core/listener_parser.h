#pragma once

#include "core/listener.h"

#include <QList>
#include <QStringView>

#include <functional>
#include <optional>

namespace vantu {

// Turns the listing tool's field output (lsof -F pcn) into listener records.
namespace ListenerParser {

using IdentityLookup = std::function<std::optional<ProcessIdentity>(int32_t pid)>;

// One listener per process and port, sorted by port, then pid. Never fails: lines it cannot
// use are skipped. `identity` is asked once per process set, on the caller's thread; the
// listeners it returns have no project and no working directory yet.
QList<Listener> parse(QStringView output, const IdentityLookup& identity = &ProcessIdentity::read);

}  // namespace ListenerParser
}  // namespace vantu
