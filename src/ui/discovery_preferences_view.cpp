#include "ui/discovery_preferences_view.h"

#include "ui/appearance.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

QLabel* makeLabel(const QString& text, const QFont& font, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    return label;
}

}  // namespace

DiscoveryPreferencesView::DiscoveryPreferencesView(const DiscoverySettings& settings,
                                                   std::function<void(const DiscoverySettings&)> save,
                                                   std::function<void()> cancel, QWidget* parent)
    : QWidget(parent), save_(std::move(save)), cancel_(std::move(cancel)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 10, 14, 12);
    layout->setSpacing(8);

    auto* heading = makeLabel(tr("Discovery"), Appearance::systemFont(13, QFont::DemiBold), this);
    heading->setObjectName(u"heading"_s);
    layout->addWidget(heading);

    automatic_ = new QCheckBox(tr("Detect dev servers on any port"), this);
    automatic_->setObjectName(u"automatic"_s);
    automatic_->setFont(Appearance::systemFont(12));
    automatic_->setChecked(settings.automatic());
    layout->addWidget(automatic_);

    // One of the two explanations is the visible caption, the other describes the fields to
    // assistive technology.
    const QString fieldDescription =
        tr("Hide rules override includes. Explicit includes can show any listener you own.");
    const QFont fieldFont = Appearance::systemFont(11);
    auto makeField = [&](const QString& objectName, const QString& text, const QString& placeholder) {
        auto* field = new QLineEdit(text, this);
        field->setObjectName(objectName);
        field->setFont(fieldFont);
        field->setPlaceholderText(placeholder);
        field->setAccessibleDescription(fieldDescription);
        field->setClearButtonEnabled(false);
        return field;
    };
    included_ = makeField(u"included"_s, settings.includedText(), tr("12345, 20000-20100"));
    excluded_ = makeField(u"excluded"_s, settings.excludedText(), tr("9229, 50000-50100"));
    for (QLineEdit* field : {included_, excluded_}) {
        // A long rule list reads from its start, not its end.
        field->setCursorPosition(0);
        // A field marked invalid is cleared as soon as its text is valid again.
        connect(field, &QLineEdit::textChanged, this, [this, field] {
            if (field == invalidField_ && std::holds_alternative<PortRules>(PortRules::parse(field->text()))) {
                setValidationError(std::nullopt, nullptr);
            }
        });
    }
    auto* includedLabel = makeLabel(tr("Always include ports"), fieldFont, this);
    auto* excludedLabel = makeLabel(tr("Always hide ports"), fieldFont, this);
    includedLabel->setBuddy(included_);
    excludedLabel->setBuddy(excluded_);
    included_->setAccessibleName(includedLabel->text());
    excluded_->setAccessibleName(excludedLabel->text());
    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(8);
    fields->setVerticalSpacing(6);
    fields->addWidget(includedLabel, 0, 0);
    fields->addWidget(included_, 0, 1);
    fields->addWidget(excludedLabel, 1, 0);
    fields->addWidget(excluded_, 1, 1);
    fields->setColumnStretch(1, 1);
    layout->addLayout(fields);

    caption_ = makeLabel(
        tr("Comma-separated ports or ranges. Hide rules take priority. Includes can show any listener you own."),
        Appearance::systemFont(10), this);
    caption_->setObjectName(u"caption"_s);
    caption_->setWordWrap(true);
    layout->addWidget(caption_);

    error_ = makeLabel(QString(), Appearance::systemFont(10), this);
    error_->setObjectName(u"validationError"_s);
    error_->setWordWrap(true);
    error_->hide();
    applyColours();
    layout->addWidget(error_);
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    auto* cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setObjectName(u"cancelButton"_s);
    cancelButton->setAutoDefault(false);
    auto* saveButton = new QPushButton(tr("Save"), this);
    saveButton->setObjectName(u"saveButton"_s);
    saveButton->setDefault(true);
    for (QPushButton* button : {cancelButton, saveButton}) {
        button->setFont(Appearance::systemFont(12));
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);

    connect(cancelButton, &QPushButton::clicked, this, &DiscoveryPreferencesView::cancel);
    connect(saveButton, &QPushButton::clicked, this, &DiscoveryPreferencesView::save);
    // Return saves from anywhere in the panel, as a default button does in a dialog.
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, &DiscoveryPreferencesView::save);
    }
    // Escape leaves the panel, dropping the edits; the next Escape closes the popover.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &DiscoveryPreferencesView::cancel);
    setFocusProxy(automatic_);
}

void DiscoveryPreferencesView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        applyColours();
    }
}

void DiscoveryPreferencesView::applyColours() {
    const auto recolour = [](QLabel* label, const QColor& color) {
        QPalette labelPalette = label->palette();
        labelPalette.setColor(QPalette::WindowText, color);
        label->setPalette(labelPalette);
    };
    recolour(caption_, Appearance::secondary(palette()));
    // An empty check box is drawn in the base colour, which on a dark window is darker still:
    // lift it so that the box stands out at 3:1 from the window around it.
    QPalette boxPalette = palette();
    const QColor window = palette().color(QPalette::Window);
    QColor box = palette().color(QPalette::Base);
    for (int step = 0; step < 40 && Appearance::contrastRatio(box, window) < 3.0; ++step) {
        box = Appearance::isDark(palette()) ? box.lighter(115) : box.darker(110);
        if (box.lightness() == 0) {
            // Black does not lighten: start it off with a trace of the window's text colour.
            QColor trace = Appearance::primary(palette());
            trace.setAlphaF(0.15F);
            box = Appearance::composite(trace, box);
        }
    }
    boxPalette.setColor(QPalette::Base, box);
    automatic_->setPalette(boxPalette);
    recolour(error_, Appearance::stopRed(palette()));
}

void DiscoveryPreferencesView::save() {
    auto result = DiscoverySettings::create(automatic_->isChecked(), included_->text(), excluded_->text());
    if (const auto* error = std::get_if<PortRules::ValidationError>(&result)) {
        // The include rules are read first: a fault there is the one reported.
        QLineEdit* field = std::holds_alternative<PortRules::ValidationError>(PortRules::parse(included_->text()))
                               ? included_
                               : excluded_;
        setValidationError(error->errorDescription(), field);
        field->setFocus(Qt::OtherFocusReason);
        return;
    }
    setValidationError(std::nullopt, nullptr);
    if (save_) {
        save_(std::get<DiscoverySettings>(result));
    }
}

void DiscoveryPreferencesView::cancel() {
    if (cancel_) {
        cancel_();
    }
}

void DiscoveryPreferencesView::setValidationError(std::optional<QString> error, QLineEdit* field) {
    validationError_ = std::move(error);
    error_->setText(validationError_.value_or(QString()));
    error_->setVisible(validationError_.has_value());
    invalidField_ = field;
    const QString fieldDescription =
        tr("Hide rules override includes. Explicit includes can show any listener you own.");
    for (QLineEdit* each : {included_, excluded_}) {
        const bool invalid = each == field;
        each->setProperty("invalid", invalid);
        // A red frame for the eye, the sentence for assistive technology.
        each->setStyleSheet(invalid ? u"QLineEdit { border: 2px solid %1; border-radius: 3px; }"_s.arg(
                                          Appearance::stopRed(palette()).name())
                                    : QString());
        each->setAccessibleDescription(invalid ? *validationError_ : fieldDescription);
    }
}

}  // namespace vantu
