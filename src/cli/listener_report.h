#pragma once

#include "core/listener.h"
#include "core/listener_enumerator.h"
#include "core/visible_text.h"

#include <QJsonArray>
#include <QList>
#include <QString>

namespace vantu::cli {

// A plain-text table: port, pid, command, project, project folder. One header line, then
// one line per listener; columns padded to their widest cell. Every cell is made visible().
QString formatTable(const QList<Listener>& listeners);

// Every fact the app knows about each listener, for scripts.
// `sessions`: the process group of each listener's process, where it is known.
QJsonArray toJson(const QList<Listener>& listeners);

// Ports held by processes that could not be examined (another user's): port and owner, no pid.
QJsonArray toJson(const QList<ForeignPort>& ports);

}  // namespace vantu::cli
