#pragma once

#include "core/listener.h"

#include <QList>
#include <QPoint>
#include <QWidget>

#include <functional>

class QVBoxLayout;

namespace vantu {

class PortRow;

// The popover's rows, one per listener in the store's order. A row is kept for as long as its
// Listener::ID stays in the list, so its hover and keyboard focus survive every update.
class RowList : public QWidget {
    Q_OBJECT

public:
    struct Entry {
        Listener listener;
        bool isStopping = false;
        bool canForce = false;
        std::function<void()> stop;
        // What the forced stop ends when it is more than the process: "npm run dev (2 processes)".
        std::optional<QString> forceTarget;
    };

    explicit RowList(QWidget* parent = nullptr);

    // Rows that move or arrive are disarmed (see PortRow::disarm). A stop moves keyboard focus
    // to the list itself, so that the next key press never lands on another row's button.
    void setEntries(const QList<Entry>& entries);
    // Every row's hover state from where the pointer is now.
    void syncHover();
#ifdef VANTU_TEST_HOOKS
    [[nodiscard]] const QList<PortRow*>& rows() const {
        return rows_;
    }
#endif

Q_SIGNALS:
    void contextMenuRequested(const vantu::Listener& listener, QPoint globalPosition);
    // A double click on a row, or Enter on the row that has the keyboard focus.
    void openRequested(const vantu::Listener& listener);

private:
    QVBoxLayout* layout_;
    QList<PortRow*> rows_;
};

}  // namespace vantu
