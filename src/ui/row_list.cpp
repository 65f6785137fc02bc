#include "ui/row_list.h"

#include "ui/port_row.h"

#include <QMultiHash>
#include <QVBoxLayout>

namespace vantu {

RowList::RowList(QWidget* parent) : QWidget(parent), layout_(new QVBoxLayout(this)) {
    // 8 above and 8 below the rows: part of the list height the store computes.
    layout_->setContentsMargins(0, 8, 0, 8);
    layout_->setSpacing(0);
    layout_->addStretch(1);
}

void RowList::setEntries(const QList<Entry>& entries) {
    QMultiHash<Listener::ID, PortRow*> previous;
    for (PortRow* row : std::as_const(rows_)) {
        previous.insert(row->listener().id(), row);
    }
    QList<PortRow*> next;
    next.reserve(entries.size());
    for (const Entry& entry : entries) {
        PortRow* row = nullptr;
        const auto found = previous.find(entry.listener.id());
        if (found != previous.end()) {
            row = found.value();
            previous.erase(found);
            row->setState(entry.listener, entry.isStopping, entry.canForce);
            row->setStopAction(entry.stop);
        } else {
            row = new PortRow(entry.listener, entry.isStopping, entry.canForce, entry.stop, this);
            row->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(row, &QWidget::customContextMenuRequested, this, [this, row](const QPoint& position) {
                Q_EMIT contextMenuRequested(row->listener(), row->mapToGlobal(position));
            });
        }
        next.append(row);
    }
    for (PortRow* gone : std::as_const(previous)) {
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
    rows_ = std::move(next);
}

}  // namespace vantu
