#include "ui/row_list.h"

#include "ui/metrics.h"
#include "ui/port_row.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMultiHash>
#include <QScrollArea>
#include <QVBoxLayout>

namespace vantu {

RowList::RowList(QWidget* parent) : QWidget(parent), layout_(new QVBoxLayout(this)) {
    // Part of the list height the store computes.
    layout_->setContentsMargins(0, Metrics::listPadding, 0, Metrics::listPadding);
    layout_->setSpacing(0);
    layout_->addStretch(1);
    // Holds focus after a stop; not a Tab stop of its own.
    setFocusPolicy(Qt::ClickFocus);
    setAccessibleName(QCoreApplication::translate("vantu::PopoverView", "Development ports"));
}

void RowList::syncHover() {
    for (PortRow* row : std::as_const(rows_)) {
        row->syncHover();
    }
}

void RowList::setEntries(const QList<Entry>& entries) {
    QMultiHash<Listener::ID, PortRow*> previous;
    for (PortRow* row : std::as_const(rows_)) {
        previous.insert(row->listener().id(), row);
    }
    QList<PortRow*> next;
    next.reserve(entries.size());
    for (const Entry& entry : entries) {
        const std::function<void()> stop = [this, id = entry.listener.id(), action = entry.stop] {
            for (PortRow* row : std::as_const(rows_)) {
                if (row->listener().id() == id && row->isAncestorOf(QApplication::focusWidget())) {
                    row->setFocus(Qt::OtherFocusReason);
                }
            }
            if (action) {
                action();
            }
        };
        PortRow* row = nullptr;
        const auto found = previous.find(entry.listener.id());
        if (found != previous.end()) {
            row = found.value();
            previous.erase(found);
            row->setState(entry.listener, entry.isStopping, entry.canForce);
            row->setStopAction(stop);
        } else {
            row = new PortRow(entry.listener, entry.isStopping, entry.canForce, stop, this);
            row->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(row, &QWidget::customContextMenuRequested, this, [this, row](const QPoint& position) {
                Q_EMIT contextMenuRequested(row->listener(), row->mapToGlobal(position));
            });
            connect(row, &PortRow::openRequested, this, [this, row] { Q_EMIT openRequested(row->listener()); });
        }
        row->setForceTarget(entry.forceTarget);
        next.append(row);
    }
    qsizetype focusPlace = -1;
    for (PortRow* gone : std::as_const(previous)) {
        // Focus must not pass on along the chain (to Quit) while the row hides.
        if (gone == QApplication::focusWidget() || gone->isAncestorOf(QApplication::focusWidget())) {
            setFocus(Qt::OtherFocusReason);
            focusPlace = rows_.indexOf(gone);
        }
        layout_->removeWidget(gone);
        gone->hide();
        gone->deleteLater();
    }
    if (focusPlace >= 0 && !next.isEmpty()) {
        next[std::min(focusPlace, next.size() - 1)]->setFocus(Qt::OtherFocusReason);
    }
    if (next == rows_) {
        return;
    }
    // Re-insert in the store's order, ahead of the closing stretch.
    for (PortRow* row : std::as_const(next)) {
        layout_->removeWidget(row);
    }
    for (qsizetype index = 0; index < next.size(); ++index) {
        layout_->insertWidget(static_cast<int>(index), next[index]);
        next[index]->show();
    }
    // A row that moved or arrived and now lies under the pointer was not what the user aimed at.
    layout_->activate();
    const QPoint pointer = QCursor::pos();
    for (qsizetype index = 0; index < next.size(); ++index) {
        PortRow* row = next[index];
        if (rows_.indexOf(row) != index && row->isVisible() && row->rect().contains(row->mapFromGlobal(pointer))) {
            row->disarm();
        }
    }
    rows_ = std::move(next);
    // No enter or leave event comes for rows that move under a still pointer.
    syncHover();
}

QList<QWidget*> RowList::tabStops() const {
    QList<QWidget*> stops;
    for (PortRow* row : rows_) {
        stops << row << row->actionWidget();
    }
    return stops;
}

qsizetype RowList::focusedRow() const {
    const QWidget* focused = QApplication::focusWidget();
    for (qsizetype index = 0; index < rows_.size(); ++index) {
        if (rows_[index] == focused || rows_[index]->isAncestorOf(focused)) {
            return index;
        }
    }
    return -1;
}

void RowList::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (rows_.isEmpty() || event->modifiers() != Qt::NoModifier ||
        (key != Qt::Key_Up && key != Qt::Key_Down && key != Qt::Key_Home && key != Qt::Key_End)) {
        QWidget::keyPressEvent(event);
        return;
    }
    const qsizetype current = focusedRow();
    const qsizetype last = rows_.size() - 1;
    qsizetype target = key == Qt::Key_Home || (key == Qt::Key_Down && current < 0) ? 0 : last;
    if (current >= 0 && key == Qt::Key_Up) {
        target = std::max<qsizetype>(current - 1, 0);
    } else if (current >= 0 && key == Qt::Key_Down) {
        target = std::min(current + 1, last);
    }
    // From a button to the button below, where there is one to stand on.
    PortRow* row = rows_[target];
    const bool onButton = current >= 0 && rows_[current]->actionWidget()->hasFocus();
    QWidget* focus = onButton && row->slot() == PortRow::Slot::actionButton ? row->actionWidget() : row;
    focus->setFocus(target < current ? Qt::BacktabFocusReason : Qt::TabFocusReason);
    for (QWidget* parent = parentWidget(); parent != nullptr; parent = parent->parentWidget()) {
        if (auto* scrollArea = qobject_cast<QScrollArea*>(parent)) {
            scrollArea->ensureWidgetVisible(focus, 0, 0);
            break;
        }
    }
    event->accept();
}

}  // namespace vantu
