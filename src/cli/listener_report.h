#pragma once

#include "core/listener.h"
#include "core/listener_enumerator.h"
#include "core/visible_text.h"

#include <QJsonArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace vantu::cli {

// A plain-text table: port, pid, uptime at `nowSeconds` (Unix time), command, project, project
// folder. One header line, then one line per listener; columns padded to their widest cell.
// Every cell is made visible().
QString formatTable(const QList<Listener>& listeners, qint64 nowSeconds);

// Every fact the app knows about each listener, for scripts, with its uptime at `nowSeconds`
// and `urls`, the address of each listener in order.
QJsonArray toJson(const QList<Listener>& listeners, qint64 nowSeconds, const QStringList& urls);

// Ports held by processes that could not be examined (another user's): port and owner, no pid.
QJsonArray toJson(const QList<ForeignPort>& ports);

}  // namespace vantu::cli
