#include "core/process_usage.h"

#include <QCoreApplication>
#include <QStringList>

namespace vantu::ProcessUsage {
namespace {

constexpr uint64_t kMinute = 60;
constexpr uint64_t kHour = 60 * kMinute;
constexpr uint64_t kDay = 24 * kHour;

QString number(uint64_t value, const QLocale& locale) {
    return locale.toString(static_cast<qulonglong>(value));
}

QString duration(uint64_t seconds, const QLocale& locale) {
    if (seconds < kMinute) {
        return QCoreApplication::translate("ProcessUsage", "%1 s").arg(number(seconds, locale));
    }
    if (seconds < kHour) {
        return QCoreApplication::translate("ProcessUsage", "%1 min").arg(number(seconds / kMinute, locale));
    }
    if (seconds < kDay) {
        return QCoreApplication::translate("ProcessUsage", "%1 h %2 min")
            .arg(number(seconds / kHour, locale), number(seconds % kHour / kMinute, locale));
    }
    return QCoreApplication::translate("ProcessUsage", "%1 d %2 h")
        .arg(number(seconds / kDay, locale), number(seconds % kDay / kHour, locale));
}

}  // namespace

QString runningFor(uint64_t seconds, const QLocale& locale) {
    return QCoreApplication::translate("ProcessUsage", "Running for %1").arg(duration(seconds, locale));
}

QString memory(uint64_t bytes, const QLocale& locale) {
    constexpr double kMegabyte = 1e6;
    const double megabytes = static_cast<double>(bytes) / kMegabyte;
    if (megabytes < 10) {
        return QCoreApplication::translate("ProcessUsage", "%1 MB").arg(locale.toString(megabytes, 'f', 1));
    }
    if (megabytes < 999.5) {
        return QCoreApplication::translate("ProcessUsage", "%1 MB").arg(locale.toString(megabytes, 'f', 0));
    }
    return QCoreApplication::translate("ProcessUsage", "%1 GB").arg(locale.toString(megabytes / 1000, 'f', 1));
}

QString summary(std::optional<uint64_t> runningSeconds, std::optional<uint64_t> residentBytes, const QLocale& locale) {
    QStringList parts;
    if (runningSeconds) {
        parts << runningFor(*runningSeconds, locale);
    }
    if (residentBytes) {
        parts << memory(*residentBytes, locale);
    }
    return parts.join(QStringLiteral(" \u00B7 "));
}

QString compactDuration(uint64_t seconds) {
    if (seconds < kMinute) {
        return QString::number(seconds) + u's';
    }
    if (seconds < kHour) {
        return QString::number(seconds / kMinute) + u'm';
    }
    if (seconds < kDay) {
        return QString::number(seconds / kHour) + u'h' + QString::number(seconds % kHour / kMinute) + u'm';
    }
    return QString::number(seconds / kDay) + u'd' + QString::number(seconds % kDay / kHour) + u'h';
}

}  // namespace vantu::ProcessUsage
