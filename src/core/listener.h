#pragma once

#include "core/engine_container.h"
#include "core/process_group.h"
#include "core/process_identity.h"
#include "core/project_metadata.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace vantu {

// One listening TCP port of one process, with the project it belongs to once the resolver
// has found it.
struct Listener {
    // The key under which views and the store track a row. A server restarted on the same
    // port has a new identity, and so becomes a new row.
    struct ID {
        int32_t pid = 0;
        uint16_t port = 0;
        std::optional<ProcessIdentity> identity;
        // A container's row is the container's, whichever helper holds its port.
        QString containerID;

        friend bool operator==(const ID&, const ID&) = default;
    };

    int32_t pid = 0;
    uint16_t port = 0;
    QString command;
    // Read for `pid` when the listing was parsed; absent when that read failed.
    std::optional<ProcessIdentity> identity;
    std::optional<ProjectMetadata> project;
    // Absolute path, without a trailing slash.
    std::optional<QString> workingDirectory;
    // The process group the process runs in, what Ctrl+C in its terminal would stop; read for
    // the servers that are shown.
    std::optional<ProcessGroup> group;
    // Read once with the snapshot, for telling dev servers from the rest: the process's
    // executable (absent when it cannot be read), and whether it is one of the system's own
    // programs (installed in the system's folders, or run by a system unit).
    std::optional<QString> executablePath;
    bool systemProgram = false;
    // The local addresses the port is bound on, numeric ("0.0.0.0", "::1"), each once; empty
    // when the listing did not say.
    QStringList addresses;
    // The process's resident memory, read for the servers that are shown.
    std::optional<uint64_t> residentBytes;
    // Set for a port a container publishes: the row is the container's, stopped through its
    // engine. It is the user's because the user's engine answered for it; `pid` is then 0.
    std::optional<ListenerContainer> container;

    [[nodiscard]] ID id() const { return ID{pid, port, identity, container ? container->container.id : QString()}; }
    [[nodiscard]] bool canTerminate() const { return identity && identity->canTerminate(); }
    // Whether the row offers a stop: the user's own process, or a container of the user's engine.
    [[nodiscard]] bool canStop() const { return container.has_value() || canTerminate(); }

    [[nodiscard]] QString displayName() const;
    [[nodiscard]] QString detail() const;
    [[nodiscard]] QString helpText() const;
    // Key of the user's project-folder choice for this command, started in this folder,
    // on this port. Absent while the working directory is unknown.
    [[nodiscard]] std::optional<QString> projectOverrideKey() const;

    friend bool operator==(const Listener&, const Listener&) = default;
};

size_t qHash(const Listener::ID& id, size_t seed = 0) noexcept;
size_t qHash(const Listener& listener, size_t seed = 0) noexcept;

}  // namespace vantu

template <>
struct std::hash<vantu::Listener::ID> {
    size_t operator()(const vantu::Listener::ID& id) const noexcept { return vantu::qHash(id); }
};
template <>
struct std::hash<vantu::Listener> {
    size_t operator()(const vantu::Listener& listener) const noexcept { return vantu::qHash(listener); }
};
