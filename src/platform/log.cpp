#include "platform/log.h"

namespace vantu {

Q_LOGGING_CATEGORY(lcScan, "vantu.scan", QtWarningMsg)
Q_LOGGING_CATEGORY(lcStop, "vantu.stop", QtWarningMsg)
Q_LOGGING_CATEGORY(lcTray, "vantu.tray", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSettings, "vantu.settings", QtWarningMsg)

}  // namespace vantu
