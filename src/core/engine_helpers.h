#pragma once

#include <QString>

#include <optional>

namespace vantu {

// The programs container engines run to hold a container's published port on the host:
// Docker's docker-proxy (or dockerd itself), rootless Docker's rootlesskit, and rootless
// Podman's rootlessport, pasta, slirp4netns and conmon. Signalling one breaks the container's
// port while the container runs on, so none of them is ever stopped as a process: the
// container is what is stopped.
namespace EngineHelpers {

// The helper's name when the program is one by its file or by its command name; `command` is
// the kernel's command name (cut to 15 bytes), `executablePath` the program's file when it
// could be read.
std::optional<QString> helperName(const QString& command, const std::optional<QString>& executablePath);

// Why a helper is not stopped, in the user's words.
QString refusal(const QString& helper);

}  // namespace EngineHelpers
}  // namespace vantu
