#pragma once

// Small readers of /proc shared by the Linux files of this folder. Not for use outside it.

#include "platform/process.h"
#include "platform/unique_fd.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>
#include <optional>

namespace vantu::platform::proc {

// The whole content of an open file; /proc files report size 0, so it reads until the end.
std::optional<QByteArray> readAll(int fd);

// A small file relative to a directory fd.
std::optional<QByteArray> readAt(int dirFd, const char* name);

// A plain run of ASCII digits, without sign or white space.
std::optional<uint64_t> parseUnsigned(QByteArrayView text);

// Owner and start time of the process whose /proc/<pid> directory is open as `dirFd`. Once
// that process is reaped the reads fail, even when its pid already names a newer process, so
// the answer always describes the instance the directory was opened on.
std::optional<ProcessFacts> factsAt(int dirFd);

// Owner and start time from the text of a stat file and the owner of its /proc entry.
std::optional<ProcessFacts> factsFrom(QByteArrayView stat, uint32_t owner);

// The parent's pid (field 4 of a stat file).
std::optional<int32_t> parentOf(QByteArrayView stat);

// The command name between the parentheses of a stat file.
QByteArray commandOf(QByteArrayView stat);

// A numeric field of a stat file, counted from 1 (4 the parent, 5 the process group, 6 the
// session, 7 the controlling terminal, which may be 0).
std::optional<int64_t> statInteger(QByteArrayView stat, int field);

// The process state letter of a stat file (R, S, Z…); '\0' when it cannot be found.
char stateOf(QByteArrayView stat);

// The command name the kernel keeps, without its line feed.
std::optional<QByteArray> commandAt(int dirFd);

// Whether the process whose /proc/<pid> directory is open as `dirFd` still runs. Its first
// thread may have ended while others run on (a zombie leader): the process lives until the last.
bool isLiveAt(int dirFd);

// The directory of a thread that still runs in that process, when its first thread has ended
// and no longer shows the descriptors, folders and program that its other threads share;
// invalid when no thread runs.
UniqueFd liveThreadAt(int dirFd);

}  // namespace vantu::platform::proc
