#include "ui/row_list.h"

#include "ui/metrics.h"
#include "ui/port_row.h"

#include <QApplication>
#include <QCursor>
#include <QMultiHash>
#include <QVBoxLayout>

namespace vantu {

RowList::RowList(QWidget* parent) : QWidget(parent), layout_(new QVBoxLayout(this)) {
    // Part of the list height the store computes.
    layout_->setContentsMargins(0, Metrics::listPadding, 0, Metrics::listPadding);
    layout_->setSpacing(0);
    layout_->addStretch(1);
    // Holds focus after a stop; not a Tab stop of its own.
    setFocusPolicy(Qt::ClickFocus);
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
        const std::function<void()> stop = [this, action = entry.stop] {
            setFocus(Qt::OtherFocusReason);
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
    for (PortRow* gone : std::as_const(previous)) {
        // Focus must not pass on to the next row's button.
        if (gone->isAncestorOf(QApplication::focusWidget())) {
            setFocus(Qt::OtherFocusReason);
        }
        layout_->removeWidget(gone);
        gone->hide();
        gone->deleteLater();
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
}

}  // namespace vantu
