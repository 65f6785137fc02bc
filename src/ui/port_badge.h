#pragma once

#include <QWidget>

#include <cstdint>

namespace vantu {

// The port number on a tinted rounded rectangle, in the accent colour.
class PortBadge : public QWidget {
    Q_OBJECT

public:
    explicit PortBadge(uint16_t port, QWidget* parent = nullptr);

    void setPort(uint16_t port);
    // Plain decimal, never grouped.
    [[nodiscard]] QString text() const;
    // The fill's opacity over the accent colour: stronger on dark backgrounds.
    [[nodiscard]] double fillOpacity() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    uint16_t port_;
};

}  // namespace vantu
