#pragma once

#include <QLoggingCategory>

namespace vantu {

// One category per concern. A run where nothing fails prints nothing: warnings say what failed
// or what the app fell back to; debug lines, which say how a decision went, appear only when
// turned on, e.g. with QT_LOGGING_RULES="vantu.*.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcScan)      // vantu.scan: finding the listening sockets
Q_DECLARE_LOGGING_CATEGORY(lcStop)      // vantu.stop: stopping servers
Q_DECLARE_LOGGING_CATEGORY(lcTray)      // vantu.tray: the tray the app docks into
Q_DECLARE_LOGGING_CATEGORY(lcSettings)  // vantu.settings: the settings file

}  // namespace vantu
