#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <variant>

namespace vantu {

// The parsed form of a user-typed list of ports and ascending ranges, such as
// "3000-3005, 8080". Ranges are kept exactly as typed: no sorting, merging or de-duplication.
class PortRules {
public:
    struct Range {
        uint16_t lower = 1;
        uint16_t upper = 1;
        friend bool operator==(const Range&, const Range&) = default;
    };

    // The first token that is not a port or an ascending range.
    class ValidationError {
    public:
        static ValidationError invalidPort(QString token);
        [[nodiscard]] const QString& token() const { return token_; }
        // "Invalid port ‘TOKEN’. Use 1–65535 or an ascending range."
        [[nodiscard]] QString errorDescription() const;
        friend bool operator==(const ValidationError&, const ValidationError&) = default;

    private:
        explicit ValidationError(QString token) : token_(std::move(token)) {}
        QString token_;
    };

    // Empty rules: match nothing.
    PortRules() = default;

    // Separators are "," and any Unicode white space; the first invalid token fails the whole
    // text.
    static std::variant<PortRules, ValidationError> parse(QStringView text);

    [[nodiscard]] const QList<Range>& ranges() const { return ranges_; }
    [[nodiscard]] bool contains(uint16_t port) const;

    friend bool operator==(const PortRules&, const PortRules&) = default;

private:
    QList<Range> ranges_;
};

}  // namespace vantu
