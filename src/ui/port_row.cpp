#include "ui/port_row.h"

#include "core/process_usage.h"
#include "ui/accessible_widgets.h"
#include "ui/appearance.h"
#include "ui/elided_label.h"
#include "ui/metrics.h"
#include "ui/motion.h"
#include "ui/port_badge.h"
#include "ui/spinner.h"
#include "ui/stop_button.h"
#include "ui/symbol_view.h"

#include <QCursor>
#include <QDateTime>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

const QEasingCurve kEaseOut(QEasingCurve::OutQuad);

QString actionWord(bool canForce) {
    return canForce ? PortRow::tr("Force quit") : PortRow::tr("Stop");
}

}  // namespace

PortRow::PortRow(const Listener& listener, bool isStopping, bool canForce, std::function<void()> stop, QWidget* parent)
    : QWidget(parent), listener_(listener), isStopping_(isStopping), canForce_(canForce), stop_(std::move(stop)) {
    AccessibleWidgets::install();

    setFixedHeight(Metrics::rowHeight);
    setAttribute(Qt::WA_Hover);
    // A Tab stop of its own, ahead of its button: Enter opens the server from here.
    setFocusPolicy(Qt::TabFocus);
    setAccessibleDescription(tr("Press Enter to open it in the browser, or Shift+F10 for more actions."));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(8);

    badge_ = new PortBadge(listener.port, this);
    badge_->setObjectName(u"portBadge"_s);
    layout->addWidget(badge_, 0, Qt::AlignVCenter);

    nameBlock_ = new QWidget(this);
    nameBlock_->setObjectName(u"nameBlock"_s);
    auto* names = new QVBoxLayout(nameBlock_);
    names->setContentsMargins(0, 0, 0, 0);
    names->setSpacing(2);
    name_ = new ElidedLabel(1, Appearance::systemFont(12), Appearance::Level::primary, nameBlock_);
    name_->setObjectName(u"displayName"_s);
    // Names of one scope or one product differ at their end: "@acme-co…al-frontend".
    name_->setElideMode(Qt::ElideMiddle);
    detail_ = new ElidedLabel(1, Appearance::monospacedFont(10), Appearance::Level::secondary, nameBlock_);
    detail_->setObjectName(u"detail"_s);
    names->addStretch();
    names->addWidget(name_);
    names->addWidget(detail_);
    names->addStretch();
    // How long the server has run changes while the list is open: told as the tooltip shows.
    nameBlock_->installEventFilter(this);
    layout->addWidget(nameBlock_, 1);

    auto* slotBox = slotBox_ = new QWidget(this);
    slotBox->setObjectName(u"actionSlot"_s);
    slotLayout_ = new QStackedLayout(slotBox);
    slotLayout_->setContentsMargins(0, 0, 0, 0);

    auto* spinnerBox = new QWidget(slotBox);
    auto* spinnerLayout = new QHBoxLayout(spinnerBox);
    spinnerLayout->setContentsMargins(0, 0, 0, 0);
    spinner_ = new Spinner(16, spinnerBox);
    spinner_->setObjectName(u"stopSpinner"_s);
    spinnerLayout->addWidget(spinner_, 0, Qt::AlignCenter);
    slotLayout_->addWidget(spinnerBox);

    auto* buttonBox = new QWidget(slotBox);
    auto* buttonLayout = new QHBoxLayout(buttonBox);
    buttonLayout->setContentsMargins(0, 0, 0, 0);
    button_ = new StopButton(buttonBox);
    button_->setObjectName(u"actionButton"_s);
    button_->installEventFilter(this);
    connect(button_, &QAbstractButton::clicked, this, [this] {
        if (stop_) {
            stop_();
        }
    });
    buttonLayout->addWidget(button_, 0, Qt::AlignCenter);
    // Wide enough for the longer label of the language in use ("Erzwingen"), the same for
    // Stop and Force so that nothing moves when one replaces the other.
    const QFontMetrics labels(button_->font());
    const int labelWidth = std::max(labels.horizontalAdvance(tr("Stop")), labels.horizontalAdvance(tr("Force")));
    const int slotWidth = std::max(Metrics::actionSlotWidth, labelWidth + 12);
    button_->setFixedWidth(slotWidth);
    slotBox->setFixedWidth(slotWidth);
    slotLayout_->addWidget(buttonBox);

    lock_ = new SymbolView(Symbol::lockFill, 11, 1.0, Appearance::Level::tertiary, slotBox);
    lock_->setObjectName(u"lockSymbol"_s);
    lock_->setToolTip(tr("This process is protected or belongs to another user."));
    lock_->setAccessibleName(lock_->toolTip());
    slotLayout_->addWidget(lock_);
    layout->addWidget(slotBox);

    settle_ = new QTimer(this);
    settle_->setSingleShot(true);
    settle_->setInterval(kSettleMilliseconds);
    connect(settle_, &QTimer::timeout, this, [this] { armed_ = true; });

    hoverAnimation_ = new QVariantAnimation(this);
    hoverAnimation_->setDuration(kFadeMilliseconds);
    hoverAnimation_->setEasingCurve(kEaseOut);
    connect(hoverAnimation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        hoverProgress_ = value.toDouble();
        update();
    });
    buttonAnimation_ = new QPropertyAnimation(button_, "opacity", this);
    buttonAnimation_->setDuration(kFadeMilliseconds);
    buttonAnimation_->setEasingCurve(kEaseOut);

    applyState();
    animate(true);
}

PortRow::~PortRow() = default;

void PortRow::setState(const Listener& listener, bool isStopping, bool canForce) {
    const bool showedAction = showAction();
    listener_ = listener;
    isStopping_ = isStopping;
    canForce_ = canForce;
    applyState();
    if (showAction() != showedAction) {
        animate(false);
    }
}

void PortRow::setStopAction(std::function<void()> stop) {
    stop_ = std::move(stop);
}

PortRow::Slot PortRow::slot() const {
    if (isStopping_) {
        return Slot::spinner;
    }
    if (listener_.canStop()) {
        return Slot::actionButton;
    }
    return Slot::lock;
}

QWidget* PortRow::actionWidget() const {
    return button_;
}

QString PortRow::actionName() const {
    return actionWord(canForce_);
}

void PortRow::performAction() {
    if (listener_.canStop() && !isStopping_ && stop_) {
        stop_();
    }
}

void PortRow::disarm() {
    armed_ = false;
    disarmedAt_ = QCursor::pos();
    settle_->start();
}

void PortRow::setForceTarget(std::optional<QString> target) {
    if (target != forceTarget_) {
        forceTarget_ = std::move(target);
        applyState();
    }
}

void PortRow::syncHover() {
    setHovered(isVisible() && rect().contains(mapFromGlobal(QCursor::pos())) && window()->isActiveWindow());
}

bool PortRow::event(QEvent* event) {
    // Any movement of the pointer means the user now sees what is under it.
    if (!armed_ && event->type() == QEvent::HoverMove && QCursor::pos() != disarmedAt_) {
        armed_ = true;
        settle_->stop();
    }
    return QWidget::event(event);
}

void PortRow::applyState() {
    const QString displayName = listener_.displayName();
    badge_->setPort(listener_.port);
    name_->setText(displayName);
    // A Force that appears by itself must say why: the polite stop did not take.
    const QString stillRunning =
        listener_.container ? tr("Still running after its stop") : tr("Still running after SIGTERM");
    detail_->setText(canForce_ ? stillRunning : listener_.detail());
    // A sentence, not a record: in the text face, which also fits it in the line.
    detail_->setFont(canForce_ ? Appearance::systemFont(10) : Appearance::monospacedFont(10));
    nameBlock_->setToolTip(toolTipText());
    setAccessibleName(displayName);
    name_->setAccessibleName(displayName);
    detail_->setAccessibleName(detail_->text());

    button_->setText(canForce_ ? tr("Force") : tr("Stop"));
    button_->setOutlined(canForce_);
    // The suffix names the signal a plain stop sends, or the engine that stops a container its way.
    const QString stopSuffix =
        listener_.container ? tr(" through %1").arg(listener_.container->endpoint.engineName()) : u" (SIGTERM)"_s;
    const QString buttonTip = canForce_ ? tr("Force quit %1 (SIGKILL)").arg(forceTarget_.value_or(displayName))
                                        : tr("Stop %1").arg(displayName) + stopSuffix;
    button_->setToolTip(Appearance::literalText(buttonTip));
    // Read out as written: a tooltip's markup would be heard.
    button_->setAccessibleDescription(buttonTip);
    nameBlock_->setAccessibleDescription(listener_.helpText());
    // What is heard must say what the button ends: the rest of a group, where that is what it ends.
    button_->setAccessibleName(
        canForce_ && forceTarget_ ? tr("Force quit %1 (SIGKILL)").arg(*forceTarget_)
        : listener_.container
            ? tr("%1 %2, %3, port %4")
                  .arg(actionWord(canForce_), displayName, listener_.command, QString::number(listener_.port))
            : tr("%1 %2, %3, port %4, PID %5")
                  .arg(actionWord(canForce_), displayName, listener_.command, QString::number(listener_.port),
                       QString::number(listener_.pid)));

    switch (slot()) {
        case Slot::spinner:
            slotLayout_->setCurrentWidget(spinner_->parentWidget());
            break;
        case Slot::actionButton:
            slotLayout_->setCurrentWidget(button_->parentWidget());
            break;
        case Slot::lock:
            slotLayout_->setCurrentWidget(lock_);
            break;
    }
    fitSlot();
}

QString PortRow::toolTipText() const {
    QString text = listener_.helpText();
    std::optional<uint64_t> ran;
    if (listener_.identity) {
        const qint64 since = QDateTime::currentSecsSinceEpoch() - static_cast<qint64>(listener_.identity->startSeconds);
        ran = static_cast<uint64_t>(std::max<qint64>(since, 0));
    }
    if (const QString usage = ProcessUsage::summary(ran, listener_.residentBytes, locale()); !usage.isEmpty()) {
        text += u'\n' + usage;
    }
    if (listener_.projectOverrideKey()) {
        text += u'\n' + tr("Right-click or press Shift+F10 to choose the project folder.");
    }
    // The project's name comes from a file anyone can write: shown as it is, never as markup.
    return Appearance::literalText(text);
}

void PortRow::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        Q_EMIT openRequested();
        return;
    }
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        Q_EMIT customContextMenuRequested(QPoint(width() / 2, height() / 2));
        return;
    }
    QWidget::keyPressEvent(event);
}

void PortRow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && armed_) {
        Q_EMIT openRequested();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void PortRow::animate(bool immediately) {
    const double hoverTarget = isHovered_ ? 1.0 : 0.0;
    const double buttonTarget = showAction() ? 1.0 : 0.0;
    hoverAnimation_->stop();
    buttonAnimation_->stop();
    if (immediately || !Motion::enabled(*this)) {
        hoverProgress_ = hoverTarget;
        button_->setOpacity(buttonTarget);
        update();
        return;
    }
    if (hoverProgress_ != hoverTarget) {
        hoverAnimation_->setStartValue(hoverProgress_);
        hoverAnimation_->setEndValue(hoverTarget);
        hoverAnimation_->start();
    }
    if (button_->opacity() != buttonTarget) {
        buttonAnimation_->setStartValue(button_->opacity());
        buttonAnimation_->setEndValue(buttonTarget);
        buttonAnimation_->start();
    }
}

void PortRow::setHovered(bool hovered) {
    if (hovered == isHovered_) {
        return;
    }
    isHovered_ = hovered;
    fitSlot();
    animate(false);
}

void PortRow::setActionFocused(bool focused) {
    if (focused == actionFocused_) {
        return;
    }
    actionFocused_ = focused;
    fitSlot();
    animate(false);
}

void PortRow::fitSlot() {
    // A hidden button keeps its focus but takes no clicks, and leaves its width to the name.
    button_->setAttribute(Qt::WA_TransparentForMouseEvents, !showAction());
    slotBox_->setFixedWidth(slot() == Slot::actionButton && !showAction() ? 0 : button_->width());
    // At once, so that the button is where the pointer that revealed it is.
    layout()->activate();
}

void PortRow::enterEvent(QEnterEvent* event) {
    setHovered(true);
    QWidget::enterEvent(event);
}

void PortRow::leaveEvent(QEvent* event) {
    setHovered(false);
    QWidget::leaveEvent(event);
}

bool PortRow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == nameBlock_ && event->type() == QEvent::ToolTip) {
        nameBlock_->setToolTip(toolTipText());
    }
    if (watched == button_) {
        // A press on a button that slid under a still pointer was aimed at another row.
        if (!armed_ && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            // Shift+F10 opens the row's menu, as the Menu key does.
            if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
                Q_EMIT customContextMenuRequested(QPoint(width() / 2, height() / 2));
                return true;
            }
        }
        if (event->type() == QEvent::FocusIn) {
            setActionFocused(true);
        } else if (event->type() == QEvent::FocusOut) {
            setActionFocused(false);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PortRow::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        // Where Enter would act.
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
    }
    if (hoverProgress_ <= 0) {
        return;
    }
    QColor fill = Appearance::primary(palette());
    fill.setAlphaF(static_cast<float>(0.05 * hoverProgress_));
    QPainterPath background;
    background.addRoundedRect(QRectF(rect()), 6, 6);
    painter.fillPath(background, fill);
}

}  // namespace vantu
