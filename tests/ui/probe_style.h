#pragma once

#include <QColor>
#include <QProxyStyle>

#include <optional>

namespace vantu::test {

// The application's style with two things a test can see: a chosen animation duration (0 is a
// desktop with animations off) and focus frames drawn as a solid `kFocusMarker` outline that no
// other painting uses, counted as they are drawn.
class ProbeStyle : public QProxyStyle {
public:
    explicit ProbeStyle(std::optional<int> animationDuration = std::nullopt);

    static inline const QColor kFocusMarker{255, 0, 255};

    [[nodiscard]] int focusFrames() const { return focusFrames_; }

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;

private:
    std::optional<int> animationDuration_;
    mutable int focusFrames_ = 0;
};

}  // namespace vantu::test
