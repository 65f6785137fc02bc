#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// Reads files that other people's processes point us at, so every call is bounded: it never
// blocks on a FIFO or a device, and never reads more than it was asked to.
namespace vantu::platform {

// The whole content of the regular file at `path` (symbolic links followed), or nullopt when
// it is missing, is not a regular file, is larger than `maxBytes`, or cannot be read.
std::optional<QByteArray> readRegularFile(const QString& path, int64_t maxBytes);

// Whether anything exists at `path`, following symbolic links (a dangling link is nothing).
bool exists(const QString& path);

// Whether `path` names a directory, following symbolic links.
bool isDirectory(const QString& path);

// The absolute path with every symbolic link, "." and ".." resolved; nullopt when it does
// not exist.
std::optional<QString> canonicalPath(const QString& path);

}  // namespace vantu::platform
