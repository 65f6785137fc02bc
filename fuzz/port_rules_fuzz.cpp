// Feeds arbitrary text to the port rules parser and checks what it promises: every accepted
// range is a real ascending range, the ranges survive a round trip through their plain
// text form, and a rejection names one separator-free token of the input that is rejected
// on its own too.
#include "rules/port_rules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

bool isSeparator(QChar c) {
    return c == u',' || c.isSpace();
}

void check(const QString& text) {
    const auto result = vantu::PortRules::parse(text);
    if (const auto* rules = std::get_if<vantu::PortRules>(&result)) {
        QString plain;
        for (const auto& range : rules->ranges()) {
            if (range.lower < 1 || range.lower > range.upper || !rules->contains(range.lower) ||
                !rules->contains(range.upper)) {
                std::abort();
            }
            plain += QString::number(range.lower) + u'-' + QString::number(range.upper) + u'\n';
        }
        const auto again = vantu::PortRules::parse(plain);
        if (!std::holds_alternative<vantu::PortRules>(again) || std::get<vantu::PortRules>(again) != *rules) {
            std::abort();
        }
        return;
    }
    const QString& token = std::get<vantu::PortRules::ValidationError>(result).token();
    if (token.isEmpty() || !text.contains(token)) {
        std::abort();
    }
    for (const QChar c : token) {
        if (isSeparator(c)) {
            std::abort();
        }
    }
    const auto alone = vantu::PortRules::parse(token);
    if (!std::holds_alternative<vantu::PortRules::ValidationError>(alone) ||
        std::get<vantu::PortRules::ValidationError>(alone).token() != token) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // As typed text, and as raw UTF-16 so that lone surrogates reach the parser too.
    check(QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    QString units(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    std::memcpy(units.data(), data, size / 2 * sizeof(QChar));
    check(units);
    return 0;
}
