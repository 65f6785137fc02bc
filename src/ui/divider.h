#pragma once

#include <QWidget>

namespace vantu {

// A one-pixel horizontal separator line drawn at half opacity.
class Divider : public QWidget {
    Q_OBJECT

public:
    explicit Divider(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vantu
