#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

// Where the app keeps the local socket only its own user may reach, and who answers on one.
// A place another user can write to lets that user listen there first.
namespace vantu::platform {

// A folder that only this user can write to.
struct PrivateFolder {
    QString path;
};
// No such folder could be had; `reason` says why, for the log.
struct NoPrivateFolder {
    QString reason;
};

// $XDG_RUNTIME_DIR when it is set; else "vantu-<uid>" in the temporary folder, made for the
// user with mode 0700. Either is used only when it is a real directory (not a link), owned by
// this user, and closed to others: writable by no one else, and exactly 0700 for the folder
// made here.
std::variant<PrivateFolder, NoPrivateFolder> privateRuntimeFolder();

// The effective uid of the process at the other end of a connected local socket (for a
// client, the one that listened); nullopt when the system does not say.
std::optional<uint32_t> peerUid(int socketDescriptor);

}  // namespace vantu::platform
