#pragma once

#include "core/listener.h"
#include "platform/system_service.h"
#include "rules/development_port_filter.h"

namespace vantu::test {

// The listener as the snapshot reads it when its process runs the executable at `path`.
inline Listener withPath(Listener listener, const QString& path) {
    listener.executablePath = path;
    listener.systemProgram = platform::isSystemExecutable(path, &DevelopmentPortFilter::isDevelopmentRuntime);
    return listener;
}

// A project found for a listener: with evidence of being one, chosen by the user, or neither.
inline ProjectMetadata project(bool evidence, bool userSelected) {
    return ProjectMetadata{QStringLiteral("site"), QStringLiteral("/home/dev/site"), std::nullopt, evidence,
                           userSelected};
}

}  // namespace vantu::test
