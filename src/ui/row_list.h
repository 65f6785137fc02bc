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

    // Rows that move or arrive are disarmed (see PortRow::disarm). A stop from the keyboard
    // leaves the focus on the row, off its button, so that a second key press stops nothing
    // else; when the row goes, the focus goes to the row now in its place, or to the list.
    void setEntries(const QList<Entry>& entries);
    // Every row's hover state from where the pointer is now.
    void syncHover();
    // Each row, then its button, top to bottom.
    [[nodiscard]] QList<QWidget*> tabStops() const;
#ifdef VANTU_TEST_HOOKS
    [[nodiscard]] const QList<PortRow*>& rows() const {
        return rows_;
    }
#endif

Q_SIGNALS:
    void contextMenuRequested(const vantu::Listener& listener, QPoint globalPosition);
    // A double click on a row, or Enter on the row that has the keyboard focus.
    void openRequested(const vantu::Listener& listener);

protected:
    // Up and Down move to the row above or below, Home and End to the first and last.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The row that holds the keyboard focus, or -1.
    [[nodiscard]] qsizetype focusedRow() const;

    QVBoxLayout* layout_;
    QList<PortRow*> rows_;
};

}  // namespace vantu
