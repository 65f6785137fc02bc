#include "rules/port_rules.h"
#include <QCoreApplication>

#include <optional>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

constexpr uint32_t kHighestPort = 65535;

bool isSeparator(QChar c) {
    // QChar::isSpace covers every Unicode white space: no-break and ideographic spaces, the
    // line and paragraph separators, tabs and line ends.
    return c == u',' || c.isSpace();
}

// The value of a run of ASCII digits, or nullopt when the piece is empty or holds anything
// else. Values above the highest port saturate, so a long run of digits cannot overflow.
std::optional<uint32_t> decimalValue(QStringView piece) {
    if (piece.isEmpty()) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (const QChar c : piece) {
        const char16_t unit = c.unicode();
        // Only ASCII digits: full-width, Arabic-Indic and other numerals are not ports.
        if (unit < u'0' || unit > u'9') {
            return std::nullopt;
        }
        if (value <= kHighestPort) {
            value = value * 10 + static_cast<uint32_t>(unit - u'0');
        }
    }
    return value;
}

std::optional<PortRules::Range> parseToken(QStringView token) {
    const qsizetype hyphen = token.indexOf(u'-');
    const QStringView first = hyphen < 0 ? token : token.first(hyphen);
    const QStringView last = hyphen < 0 ? token : token.sliced(hyphen + 1);
    if (last.contains(u'-')) {
        return std::nullopt;
    }
    const auto lower = decimalValue(first);
    const auto upper = decimalValue(last);
    if (!lower || !upper || *lower == 0 || *lower > kHighestPort || *upper > kHighestPort || *upper < *lower) {
        return std::nullopt;
    }
    return PortRules::Range{static_cast<uint16_t>(*lower), static_cast<uint16_t>(*upper)};
}

}  // namespace

PortRules::ValidationError PortRules::ValidationError::invalidPort(QString token) {
    return ValidationError(std::move(token));
}

QString PortRules::ValidationError::errorDescription() const {
    return QCoreApplication::translate("PortRules", "Invalid port ‘%1’. Use 1–65535 or an ascending range.")
        .arg(token_);
}

std::variant<PortRules, PortRules::ValidationError> PortRules::parse(QStringView text) {
    PortRules rules;
    qsizetype index = 0;
    const qsizetype size = text.size();
    while (index < size) {
        if (isSeparator(text[index])) {
            ++index;
            continue;
        }
        qsizetype end = index;
        while (end < size && !isSeparator(text[end])) {
            ++end;
        }
        const QStringView token = text.sliced(index, end - index);
        const auto range = parseToken(token);
        if (!range) {
            return ValidationError::invalidPort(token.toString());
        }
        rules.ranges_.append(*range);
        index = end;
    }
    return rules;
}

bool PortRules::contains(uint16_t port) const {
    for (const Range& range : ranges_) {
        if (range.lower <= port && port <= range.upper) {
            return true;
        }
    }
    return false;
}

}  // namespace vantu
