#pragma once

#include "core/port_service_error.h"
#include "platform/watched_child.h"

#include <QString>

#include <optional>
#include <variant>

namespace vantu {

// What a scan found: the tool's field output, or nullopt when nothing is listening at all.
struct ScanOutcome {
    std::optional<QString> output;
};

// Runs the listing tool once (lsof -iTCP -sTCP:LISTEN -n -P -Fpcn) under a watchdog and
// judges its exit. Blocks the calling thread, so it is only ever run off the main thread.
class ListenerScan {
public:
    // The system's listing tool at its fixed absolute path, with the standard limits.
    ListenerScan();
    // The watchdog's limits: a tool stuck in uninterruptible sleep must not hold up every later
    // refresh, and a real listing is a small fraction of the output limit.
    ListenerScan(QString toolPath, platform::WatchdogLimits limits);

    // The first of /usr/bin/lsof and /usr/sbin/lsof that exists (never a search of PATH).
    static QString standardToolPath();

    // A started run of the tool. The caller may do other work while the tool runs; finish()
    // collects and judges what it wrote. Dropping it unfinished kills the tool.
    class Running {
    public:
        // Blocks until the tool has ended or the watchdog gave up on it. Call once.
        [[nodiscard]] std::variant<ScanOutcome, ServiceError> finish();

    private:
        friend class ListenerScan;
        Running(QString toolPath, std::variant<platform::WatchedChild, platform::LaunchFailure> child)
            : toolPath_(std::move(toolPath)), child_(std::move(child)) {}
        QString toolPath_;
        std::variant<platform::WatchedChild, platform::LaunchFailure> child_;
    };

    // Starts the tool and returns at once; its watchdog's clock starts now.
    [[nodiscard]] Running start() const;

    // Starts the tool and finishes it. Blocks the calling thread.
    [[nodiscard]] std::variant<ScanOutcome, ServiceError> run() const;

#ifdef VANTU_TEST_HOOKS
    [[nodiscard]] const QString& toolPath() const {
        return toolPath_;
    }
    [[nodiscard]] const platform::WatchdogLimits& limits() const {
        return limits_;
    }
#endif

private:
    QString toolPath_;
    platform::WatchdogLimits limits_;
};

}  // namespace vantu
