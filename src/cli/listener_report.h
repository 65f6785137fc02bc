#pragma once

#include "core/listener.h"
#include "core/listener_enumerator.h"
#include "core/visible_text.h"
#include "rules/discovery_settings.h"

#include <QJsonObject>
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

// The version of the JSON report's shape; it changes when a key changes meaning or goes away.
constexpr int kJsonVersion = 1;

// The JSON report for scripts: {"version": 1, "listeners": [...]}, every fact known about each
// of `listeners`, then the ports of `foreign`. Values are stable words, never a sentence in the
// user's language. Each listener has its uptime at `nowSeconds`, its address from `urls` (in
// the same order) and whether `settings` show it as a dev server.
QJsonObject toJson(const QList<Listener>& listeners, const QList<ForeignPort>& foreign, qint64 nowSeconds,
                   const QStringList& urls, const DiscoverySettings& settings);

}  // namespace vantu::cli
