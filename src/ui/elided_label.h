#pragma once

#include "ui/appearance.h"

#include <QString>
#include <QStringList>
#include <QWidget>

namespace vantu {

// Text that wraps up to `maxLines` lines and is cut with an ellipsis at the end of the last
// one when it does not fit the width. Drawn in a label colour that follows the palette.
class ElidedLabel : public QWidget {
    Q_OBJECT

public:
    ElidedLabel(int maxLines, const QFont& font, Appearance::Level level, QWidget* parent = nullptr);

    [[nodiscard]] const QString& text() const { return text_; }
    // Horizontal placement of each line; leading by default.
    void setAlignment(Qt::Alignment alignment);
    // Where the last line is cut; at its end by default.
    void setElideMode(Qt::TextElideMode mode);
    void setText(const QString& text);

    // The lines as drawn at the current width.
    [[nodiscard]] QStringList visibleLines() const;
#ifdef VANTU_TEST_HOOKS
    // Whether the text was cut.
    [[nodiscard]] bool isElided() const;
#endif

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Layout {
        QStringList lines;
        bool elided = false;
    };
    [[nodiscard]] Layout layoutFor(int width) const;

    int maxLines_;
    Appearance::Level level_;
    Qt::Alignment alignment_ = Qt::AlignLeading;
    Qt::TextElideMode elideMode_ = Qt::ElideRight;
    QString text_;
};

}  // namespace vantu
