#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

// How long a process has run and how much memory it holds, in words a person reads at a
// glance. Pure: the caller supplies the numbers and the locale.
namespace vantu::ProcessUsage {

// "Running for 2 h 14 min": seconds under a minute, minutes under an hour, hours and minutes
// under a day, then days and hours.
QString runningFor(uint64_t seconds, const QLocale& locale);
// "184 MB", in decimal megabytes: one decimal below 10 MB, gigabytes from 1000 MB.
QString memory(uint64_t bytes, const QLocale& locale);
// "Running for 2 h 14 min · 184 MB", leaving out what is unknown; empty when both are.
QString summary(std::optional<uint64_t> runningSeconds, std::optional<uint64_t> residentBytes, const QLocale& locale);
// "2h14m", "45s", "3d4h": one word for a terminal's column, the same in every language.
QString compactDuration(uint64_t seconds);

}  // namespace vantu::ProcessUsage
