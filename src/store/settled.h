#pragma once

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>

#include <coroutine>
#include <optional>

namespace vantu {

// Awaits background work without ever throwing into the awaiting task: the result, or
// nullopt when the work was abandoned (cancelled, or it threw) instead of finishing, so that
// the task can still end its pass or its stop.
template <typename T>
class Settled {
public:
    explicit Settled(QFuture<T> future) : future_(std::move(future)) {}

    [[nodiscard]] bool await_ready() const { return future_.isFinished(); }

    void await_suspend(std::coroutine_handle<> task) {
        auto* watcher = new QFutureWatcher<T>();
        QObject::connect(watcher, &QFutureWatcherBase::finished, watcher, [watcher, task] {
            watcher->deleteLater();
            task.resume();
        });
        watcher->setFuture(future_);
    }

    std::optional<T> await_resume() {
        if (future_.isCanceled() || future_.resultCount() == 0) {
            return std::nullopt;
        }
        try {
            return future_.result();
        } catch (...) {
            return std::nullopt;
        }
    }

private:
    QFuture<T> future_;
};

}  // namespace vantu
