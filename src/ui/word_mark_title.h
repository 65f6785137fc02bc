#pragma once

#include <QPainterPath>
#include <QWidget>

namespace vantu {

// The popover's title: the word-mark in the display font, filled with a gradient from the
// primary label colour at the top-leading corner to the secondary one at the bottom-trailing.
class WordMarkTitle : public QWidget {
    Q_OBJECT

public:
    explicit WordMarkTitle(const QString& text, QWidget* parent = nullptr);

    [[nodiscard]] const QString& text() const { return text_; }
    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QPainterPath path_;
};

}  // namespace vantu
