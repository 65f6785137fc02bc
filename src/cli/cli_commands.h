#pragma once

#include "cli/cli_arguments.h"
#include "core/listener_enumerator.h"
#include "rules/discovery_settings.h"
#include "service/port_service.h"

#include <QTextStream>

#include <chrono>
#include <optional>

namespace vantu::cli {

enum ExitCode : int {
    kDone = 0,
    kNothingToDo = 1,
    kFailed = 2,
    kUsage = 64,
};

// What a command works with: the service, the user's own settings and folder choices, and
// where it writes.
struct CliContext {
    const PortService& service;
    DiscoverySettings settings;
    ProjectOverrides overrides;
    QTextStream& out;
    QTextStream& err;
    // How long `stop` waits for a port to be released after the signal.
    std::chrono::milliseconds releaseWait{3000};
    // How listening sockets are found.
    ListenerEnumerator enumerator{};
    // The container engines asked beside the kernel; none when null.
    const ContainerScan* containers = nullptr;
};

int runList(const CliArguments& arguments, CliContext& context);
int runStop(const CliArguments& arguments, CliContext& context);
// Opens the user's server on the port in the browser: 0 opened, 1 nothing of the user's
// listens there, 2 the opener failed (its reason on standard error).
int runOpen(const CliArguments& arguments, CliContext& context);

}  // namespace vantu::cli
