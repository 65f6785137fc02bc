#pragma once

#include <QString>

#include <variant>

namespace vantu {

// Why a scan or a stop did not work. Every case carries the sentence the user sees.
class PortServiceError {
public:
    enum class Case {
        scanFailed,
        signalFailed,
        scanTimedOut,
        processChanged,
        protectedProcess,
        processExited,
        refused,
    };

    // The listing tool failed; `detail` is the first 240 characters of what it printed.
    static PortServiceError scanFailed(QString detail);
    // Sending the signal failed with this errno.
    static PortServiceError signalFailed(int errorNumber);
    static PortServiceError scanTimedOut();
    static PortServiceError processChanged();
    static PortServiceError protectedProcess();
    // The process had ended before the stop, and no other process holds its pid: there was
    // nothing left to signal, which callers treat as a stop that already happened.
    static PortServiceError processExited();
    // Nothing was signalled, for the reason the sentence gives (a group of processes that holds
    // something that must live).
    static PortServiceError refused(QString sentence);
    // The process could not be signalled because it lives outside the pid namespace this program
    // runs in, as /proc from another namespace shows such processes: a refusal in those words.
    static PortServiceError outsideNamespace();

    [[nodiscard]] Case errorCase() const { return case_; }
    [[nodiscard]] const QString& detail() const { return detail_; }
    [[nodiscard]] int errorNumber() const { return errorNumber_; }
    // The user-facing sentence.
    [[nodiscard]] QString errorDescription() const;

    friend bool operator==(const PortServiceError&, const PortServiceError&) = default;

private:
    PortServiceError(Case errorCase, QString detail, int errorNumber);
    Case case_;
    QString detail_;
    int errorNumber_ = 0;
};

// The listing tool could not be started at all; the platform's own words explain why.
struct LaunchError {
    QString description;
    friend bool operator==(const LaunchError&, const LaunchError&) = default;
};

// Any failure of the discovery path.
using ServiceError = std::variant<PortServiceError, LaunchError>;

// The one sentence shown for any failure of the discovery path.
QString errorDescription(const ServiceError& error);

}  // namespace vantu
