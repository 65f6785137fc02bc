#include "core/port_service_error.h"
#include <QCoreApplication>

#include "platform/process_signal.h"

#include <utility>

using namespace Qt::StringLiterals;

namespace vantu {

PortServiceError::PortServiceError(Case errorCase, QString detail, int errorNumber)
    : case_(errorCase), detail_(std::move(detail)), errorNumber_(errorNumber) {}

PortServiceError PortServiceError::scanFailed(QString detail) {
    return PortServiceError(Case::scanFailed, std::move(detail), 0);
}

PortServiceError PortServiceError::signalFailed(int errorNumber) {
    return PortServiceError(Case::signalFailed, QString(), errorNumber);
}

PortServiceError PortServiceError::scanTimedOut() {
    return PortServiceError(Case::scanTimedOut, QString(), 0);
}

PortServiceError PortServiceError::processChanged() {
    return PortServiceError(Case::processChanged, QString(), 0);
}

PortServiceError PortServiceError::protectedProcess() {
    return PortServiceError(Case::protectedProcess, QString(), 0);
}

PortServiceError PortServiceError::processExited() {
    return PortServiceError(Case::processExited, QString(), 0);
}

PortServiceError PortServiceError::refused(QString sentence) {
    return PortServiceError(Case::refused, std::move(sentence), 0);
}

PortServiceError PortServiceError::outsideNamespace() {
    return refused(QCoreApplication::translate("PortServiceError",
                                               "This process runs outside the process namespace of this program (its "
                                               "/proc shows another one), so it can’t be signalled from here."));
}

QString PortServiceError::errorDescription() const {
    switch (case_) {
        case Case::scanFailed:
            return QCoreApplication::translate("PortServiceError", "Couldn’t read listening ports. %1").arg(detail_);
        case Case::signalFailed:
            return QCoreApplication::translate("PortServiceError", "Couldn’t stop process: %1.")
                .arg(platform::errorText(errorNumber_));
        case Case::scanTimedOut:
            return QCoreApplication::translate("PortServiceError", "Port scan timed out. Try refreshing.");
        case Case::processChanged:
            return QCoreApplication::translate("PortServiceError",
                                               "This process has exited or changed. Refresh and try again.");
        case Case::protectedProcess:
            return QCoreApplication::translate("PortServiceError", "Only your own processes can be stopped.");
        case Case::processExited:
            return QCoreApplication::translate("PortServiceError", "This process has already exited.");
        case Case::refused:
            return detail_;
    }
    Q_UNREACHABLE();
    return QString();
}

QString errorDescription(const ServiceError& error) {
    if (const auto* launch = std::get_if<LaunchError>(&error)) {
        return launch->description;
    }
    return std::get<PortServiceError>(error).errorDescription();
}

}  // namespace vantu
