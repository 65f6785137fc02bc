#include "core/server_address.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

// An IPv4 address written as IPv6 ("::ffff:127.0.0.2") is the IPv4 address.
QString unmapped(const QString& address) {
    const QString prefix = u"::ffff:"_s;
    if (address.startsWith(prefix, Qt::CaseInsensitive) && address.count(u'.') == 3) {
        return address.sliced(prefix.size());
    }
    return address;
}

bool isIpv6(const QString& address) {
    return address.contains(u':');
}

bool isLoopback(const QString& address) {
    return address.startsWith(u"127."_s) || address == u"::1"_s;
}

}  // namespace

ServerAddress ServerAddress::of(const QStringList& boundAddresses, uint16_t port) {
    QStringList addresses;
    for (const QString& bound : boundAddresses) {
        if (!bound.isEmpty()) {
            addresses.append(unmapped(bound));
        }
    }
    const bool anyIpv4 = addresses.contains(u"0.0.0.0"_s) || addresses.contains(u"127.0.0.1"_s);
    const bool anyIpv6 = addresses.contains(u"::"_s);
    if (addresses.isEmpty() || anyIpv4 || anyIpv6) {
        // An IPv6 wildcard may refuse IPv4 (IPV6_V6ONLY), but ::1 always reaches it.
        return {u"localhost"_s, anyIpv4 || !anyIpv6 ? u"127.0.0.1"_s : u"::1"_s, port};
    }
    // Loopback before the rest, IPv4 before IPv6, then in address order, so the choice does not
    // depend on the order the sockets were listed in.
    std::sort(addresses.begin(), addresses.end(), [](const QString& a, const QString& b) {
        if (isLoopback(a) != isLoopback(b)) {
            return isLoopback(a);
        }
        if (isIpv6(a) != isIpv6(b)) {
            return !isIpv6(a);
        }
        return a < b;
    });
    const QString& chosen = addresses.front();
    return {isIpv6(chosen) ? u'[' + chosen + u']' : chosen, chosen, port};
}

QString ServerAddress::url(bool tls) const {
    return (tls ? u"https://"_s : u"http://"_s) + host + u':' + QString::number(port) + u'/';
}

}  // namespace vantu
