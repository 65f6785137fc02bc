#pragma once

#include "rules/discovery_settings.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vantu {

// The settings panel shown in place of the list: edits a copy of the discovery settings and
// hands a validated value to `save`. Nothing is stored until the user saves; `cancel` drops
// the edits (the popover then builds a fresh panel the next time).
class DiscoveryPreferencesView : public QWidget {
    Q_OBJECT

public:
    DiscoveryPreferencesView(const DiscoverySettings& settings, std::function<void(const DiscoverySettings&)> save,
                             std::function<void()> cancel, QWidget* parent = nullptr);

    // Validates the edits; saves them, or shows why they cannot be saved.
    void save();
    void cancel();

#ifdef VANTU_TEST_HOOKS
    [[nodiscard]] const std::optional<QString>& validationError() const {
        return validationError_;
    }
#endif

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColours();
    // Shows the error and marks `field` as the one at fault; nullopt clears both.
    void setValidationError(std::optional<QString> error, QLineEdit* field);

    std::function<void(const DiscoverySettings&)> save_;
    std::function<void()> cancel_;
    std::optional<QString> validationError_;

    QCheckBox* automatic_;
    QLineEdit* included_;
    QLineEdit* excluded_;
    QLabel* caption_;
    QLabel* error_;
    QLineEdit* invalidField_ = nullptr;
};

}  // namespace vantu
