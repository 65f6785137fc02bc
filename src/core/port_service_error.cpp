#include "core/port_service_error.h"

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

QString PortServiceError::errorDescription() const {
    switch (case_) {
        case Case::scanFailed:
            return u"Couldn\u2019t read listening ports. "_s + detail_;
        case Case::signalFailed:
            return u"Couldn\u2019t stop process: "_s + platform::errorText(errorNumber_) + u'.';
        case Case::scanTimedOut:
            return u"Port scan timed out. Try refreshing."_s;
        case Case::processChanged:
            return u"This process has exited or changed. Refresh and try again."_s;
        case Case::protectedProcess:
            return u"Only your own processes can be stopped."_s;
        case Case::processExited:
            return u"This process has already exited."_s;
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
