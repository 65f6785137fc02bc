#pragma once

#include "core/listener.h"
#include "core/listener_enumerator.h"

#include <QJsonArray>
#include <QList>
#include <QString>

namespace vantu::cli {

// The text as a terminal may safely show it: control characters (escape, bell, line breaks)
// and format characters (bidirectional overrides, invisible marks) are written out as \xNN or
// \uNNNN instead of being passed to the terminal.
QString visible(const QString& text);

// A plain-text table: port, pid, command, project, project folder. One header line, then
// one line per listener; columns padded to their widest cell. Every cell is made visible().
QString formatTable(const QList<Listener>& listeners);

// Every fact the app knows about each listener, for scripts.
// `sessions`: the process group of each listener's process, where it is known.
QJsonArray toJson(const QList<Listener>& listeners);

// Ports held by processes that could not be examined (another user's): port and owner, no pid.
QJsonArray toJson(const QList<ForeignPort>& ports);

}  // namespace vantu::cli
