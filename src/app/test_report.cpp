#include "app/test_report.h"

#include "store/port_store.h"
#include "ui/app_delegate.h"
#include "ui/popover_view.h"
#include "ui/popover_window.h"
#include "ui/port_row.h"
#include "ui/stop_button.h"

#include <QApplication>
#include <QMenu>

#include <chrono>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

QString wallClockNanoseconds() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return QString::number(static_cast<qlonglong>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
}

QString slotName(PortRow::Slot slot) {
    switch (slot) {
        case PortRow::Slot::spinner:
            return u"spinner"_s;
        case PortRow::Slot::actionButton:
            return u"button"_s;
        case PortRow::Slot::lock:
            return u"lock"_s;
    }
    return {};
}

// Where the keyboard is: a row or its button by port, anything else by its object name.
QString focusName(const QWidget* widget) {
    for (const QWidget* each = widget; each != nullptr; each = each->parentWidget()) {
        if (const auto* row = qobject_cast<const PortRow*>(each)) {
            return (widget == row ? u"row "_s : u"button "_s) + QString::number(row->listener().port);
        }
    }
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

}  // namespace

TestReport::TestReport(const QString& path, AppDelegate& delegate) : file_(path), delegate_(delegate) {
    file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text | QIODevice::Unbuffered);
    PopoverWindow& popover = delegate.popover();
    connect(&delegate, &AppDelegate::iconActivated, this, [this] { write(u"activated "_s + wallClockNanoseconds()); });
    connect(&delegate, &AppDelegate::dockedChanged, this,
            [this](bool docked) { write(docked ? u"tray docked"_s : u"tray window"_s); });
    connect(&popover, &PopoverWindow::shown, this, [this, &popover] {
        awaitingPaint_ = true;
        const QRect frame = popover.frameGeometry();
        write(u"shown %1 %2 %3 %4"_s.arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height()));
        writeRows();
    });
    connect(&popover, &PopoverWindow::hidden, this, [this] { write(u"hidden"_s); });
    connect(delegate.trayMenu(), &QMenu::aboutToShow, this, [this] { write(u"menu shown"_s); });
    connect(delegate.trayMenu(), &QMenu::aboutToHide, this, [this] { write(u"menu hidden"_s); });
    connect(popover.view(), &PopoverView::contextMenuShown, this, [this](QMenu* menu) {
        QStringList items;
        for (const QAction* action : menu->actions()) {
            if (!action->isSeparator()) {
                items.append(action->text());
            }
        }
        write(u"row menu\t"_s + items.join(u'\t'));
    });
    connect(qApp, &QApplication::focusChanged, this, [this, &popover](QWidget* /*old*/, QWidget* now) {
        if (now != nullptr && popover.isVisible() && popover.isAncestorOf(now)) {
            write(u"focus "_s + focusName(now));
        }
    });
    connect(popover.view(), &PopoverView::painted, this, [this] {
        if (awaitingPaint_) {
            awaitingPaint_ = false;
            write(u"painted "_s + wallClockNanoseconds());
        }
    });
    connect(popover.view(), &PopoverView::rebuilt, this, [this, &popover] {
        // The rows first: once a reader sees a scan end, the rows it found are already written.
        if (popover.isVisible()) {
            writeRows();
        }
        const bool refreshing = delegate_.store().isRefreshing();
        if (refreshing != wasRefreshing_) {
            write(refreshing ? u"scanning"_s : u"scanned"_s);
        }
        wasRefreshing_ = refreshing;
    });
}

void TestReport::write(const QString& line) {
    file_.write((line + u'\n').toUtf8());
    file_.flush();
}

void TestReport::writeRows() {
    const QList<PortRow*> rows = delegate_.popover().view()->rows();
    QString block = u"rows %1\n"_s.arg(rows.size());
    for (const PortRow* row : rows) {
        // Where the button shows once the pointer is on the row: a hidden one gives the name its width.
        const QPoint centre =
            row->mapToGlobal(QPoint(row->width() - 8 - row->actionButton()->width() / 2, row->height() / 2));
        block += u"row %1\t%2\t%3\t%4\t%5\n"_s.arg(row->listener().port)
                     .arg(row->listener().displayName(), slotName(row->slot()))
                     .arg(centre.x())
                     .arg(centre.y());
    }
    block += u"end"_s;
    write(block);
}

}  // namespace vantu
