#include "core/listener_parser.h"

#include <QHash>

#include <algorithm>
#include <limits>

namespace vantu::ListenerParser {
namespace {

// Decimal integer with an optional sign and nothing else; nullopt when out of range.
template <typename T>
std::optional<T> parseInteger(QStringView text) {
    qsizetype index = 0;
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        index = 1;
    }
    if (index == text.size()) {
        return std::nullopt;
    }
    // Accumulate the magnitude in 64 bits; the targets are at most 32 bits wide.
    constexpr int64_t kLimit = int64_t{std::numeric_limits<T>::max()} + 1;
    int64_t magnitude = 0;
    for (; index < text.size(); ++index) {
        const char16_t c = text[index].unicode();
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > kLimit) {
            return std::nullopt;
        }
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (value < int64_t{std::numeric_limits<T>::min()} || value > int64_t{std::numeric_limits<T>::max()}) {
        return std::nullopt;
    }
    return static_cast<T>(value);
}

// The port is the last non-empty piece after splitting at ':', which covers 127.0.0.1:8080,
// *:8080, [::1]:5173 and [fe80::1%lo0]:5173 alike.
std::optional<uint16_t> portOf(QStringView name) {
    qsizetype end = name.size();
    while (end > 0 && name[end - 1] == u':') {
        --end;
    }
    const QStringView trimmed = name.first(end);
    const QStringView last = trimmed.sliced(trimmed.lastIndexOf(u':') + 1);
    const auto port = parseInteger<uint16_t>(last);
    if (!port || *port == 0) {
        return std::nullopt;
    }
    return port;
}

// The address before the port, numeric: "*" (any address) reads as 0.0.0.0, and an IPv6
// address loses its brackets and any zone.
QString addressOf(QStringView name) {
    QStringView host = name.first(std::max<qsizetype>(name.lastIndexOf(u':'), 0));
    if (host.startsWith(u'[') && host.endsWith(u']')) {
        host = host.sliced(1, host.size() - 2);
    }
    if (const qsizetype zone = host.indexOf(u'%'); zone >= 0) {
        host = host.first(zone);
    }
    return host == u"*" ? QStringLiteral("0.0.0.0") : host.toString();
}

}  // namespace

QList<Listener> parse(QStringView output, const IdentityLookup& identity) {
    std::optional<int32_t> currentPid;
    QString currentCommand;
    QHash<int32_t, ProcessIdentity> identities;
    // Listeners in order of appearance, and where each ID sits among them: a repeated ID (the
    // IPv6 twin of an IPv4 socket, say) replaces the listener in place.
    QList<Listener> listeners;
    QHash<Listener::ID, qsizetype> positions;

    qsizetype start = 0;
    while (start < output.size()) {
        qsizetype end = output.indexOf(u'\n', start);
        if (end < 0) {
            end = output.size();
        }
        const QStringView line = output.sliced(start, end - start);
        start = end + 1;
        if (line.isEmpty()) {
            continue;
        }
        const QStringView value = line.sliced(1);
        switch (line.front().unicode()) {
            case u'p': {
                currentCommand.clear();
                currentPid = parseInteger<int32_t>(value);
                if (currentPid) {
                    if (auto found = identity(*currentPid)) {
                        identities.insert(*currentPid, *found);
                    }
                }
                break;
            }
            case u'c':
                currentCommand = value.toString();
                break;
            case u'n': {
                if (!currentPid || currentCommand.isEmpty() || value.isEmpty()) {
                    break;
                }
                const auto port = portOf(value);
                if (!port) {
                    break;
                }
                const QString address = addressOf(value);
                const auto known = identities.constFind(*currentPid);
                Listener listener{
                    .pid = *currentPid,
                    .port = *port,
                    .command = currentCommand,
                    .identity = known == identities.cend() ? std::nullopt : std::optional(*known),
                    .project = std::nullopt,
                    .workingDirectory = std::nullopt,
                };
                const Listener::ID id = listener.id();
                const auto position = positions.constFind(id);
                if (position == positions.cend()) {
                    listener.addresses = {address};
                    positions.insert(id, listeners.size());
                    listeners.append(std::move(listener));
                } else {
                    listener.addresses = listeners[*position].addresses;
                    if (!listener.addresses.contains(address)) {
                        listener.addresses.append(address);
                    }
                    listeners[*position] = std::move(listener);
                }
                break;
            }
            default:
                break;
        }
    }

    std::sort(listeners.begin(), listeners.end(),
              [](const Listener& a, const Listener& b) { return a.port != b.port ? a.port < b.port : a.pid < b.pid; });
    return listeners;
}

}  // namespace vantu::ListenerParser
