#pragma once

#include "core/listener.h"
#include "core/listener_enumerator.h"
#include "core/visible_text.h"

#include <QJsonArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vantu::cli {

// A plain-text table: port, pid, uptime at `nowSeconds` (Unix time), command, project, project
// folder. One header line, then one line per listener; columns padded to their widest cell.
// Every cell is made visible(). Given a `width` (a terminal's), lines longer than it give up
// characters of the widest text column first, down to a few each, with "…" where text was cut:
// a command and a project keep their start, a folder its end.
QString formatTable(const QList<Listener>& listeners, qint64 nowSeconds, std::optional<int> width = std::nullopt);

// Every fact the app knows about each listener, for scripts, with its uptime at `nowSeconds`
// and `urls`, the address of each listener in order.
QJsonArray toJson(const QList<Listener>& listeners, qint64 nowSeconds, const QStringList& urls);

// Ports held by processes that could not be examined (another user's): port and owner, no pid.
QJsonArray toJson(const QList<ForeignPort>& ports);

}  // namespace vantu::cli
