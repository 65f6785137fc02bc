#include "ui/accessible_widgets.h"

#include "ui/elided_label.h"
#include "ui/popover_window.h"
#include "ui/port_badge.h"
#include "ui/port_row.h"
#include "ui/symbol_view.h"
#include "ui/word_mark_title.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace vantu::AccessibleWidgets {
namespace {

QString openActionName() {
    return PortRow::tr("Open in Browser");
}

// The row is one container whose children stay reachable, with two named actions: its stop,
// and opening its server.
class PortRowAccessible : public QAccessibleWidget {
public:
    explicit PortRowAccessible(PortRow* row) : QAccessibleWidget(row, QAccessible::Grouping) {}

    QStringList actionNames() const override { return {row()->actionName(), openActionName()}; }
    QString localizedActionName(const QString& name) const override { return name; }
    void doAction(const QString& name) override {
        if (name == row()->actionName()) {
            row()->performAction();
        } else if (name == openActionName()) {
            Q_EMIT row()->openRequested();
        }
    }
    QStringList keyBindingsForAction(const QString& /*name*/) const override { return {}; }

private:
    PortRow* row() const { return static_cast<PortRow*>(widget()); }
};

// A text drawn by the app itself: read as a label, by its accessible name or else its text.
class TextAccessible : public QAccessibleWidget {
public:
    TextAccessible(QWidget* widget, QString (*shown)(const QWidget*))
        : QAccessibleWidget(widget, QAccessible::StaticText), text_(shown) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return text_(widget());
        }
        if (kind == QAccessible::Description) {
            // Never the tooltip, which may be markup.
            return widget()->accessibleDescription();
        }
        return QAccessibleWidget::text(kind);
    }

private:
    QString (*text_)(const QWidget*);
};

// A symbol says something only when it is given a name (the lock); otherwise it decorates.
class SymbolAccessible : public QAccessibleWidget {
public:
    explicit SymbolAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Graphic) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        if (widget()->accessibleName().isEmpty()) {
            state.invisible = true;
        }
        return state;
    }
    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Name ? widget()->accessibleName() : QString();
    }
};

QAccessibleInterface* factory(const QString& /*className*/, QObject* object) {
    if (auto* row = qobject_cast<PortRow*>(object)) {
        return new PortRowAccessible(row);
    }
    if (auto* label = qobject_cast<ElidedLabel*>(object)) {
        return new TextAccessible(
            label, [](const QWidget* widget) { return static_cast<const ElidedLabel*>(widget)->text(); });
    }
    if (auto* badge = qobject_cast<PortBadge*>(object)) {
        return new TextAccessible(badge,
                                  [](const QWidget* widget) { return static_cast<const PortBadge*>(widget)->text(); });
    }
    if (auto* title = qobject_cast<WordMarkTitle*>(object)) {
        return new TextAccessible(
            title, [](const QWidget* widget) { return static_cast<const WordMarkTitle*>(widget)->text(); });
    }
    if (auto* popover = qobject_cast<PopoverWindow*>(object)) {
        // A window, in a window or docked as a popup, named by its title.
        return new QAccessibleWidget(popover, QAccessible::Window);
    }
    if (auto* symbol = qobject_cast<SymbolView*>(object)) {
        return new SymbolAccessible(symbol);
    }
    return nullptr;
}

}  // namespace

void install() {
    static const bool installed = [] {
        QAccessible::installFactory(&factory);
        return true;
    }();
    Q_UNUSED(installed)
}

}  // namespace vantu::AccessibleWidgets
