#include "networkaddresses.h"

#include <QNetworkInterface>

#include <algorithm>

namespace NetworkAddresses {

QString Address::label() const {
    if (isLoopback)
        return QStringLiteral("%1 (仅本机)").arg(ip);
    if (isVirtual)
        return QStringLiteral("%1 (%2，虚拟网卡)").arg(ip, interfaceName);
    return QStringLiteral("%1 (%2)").arg(ip, interfaceName);
}

bool isVirtualName(const QString& name) {
    static const char* const kPrefixes[] = {"docker", "br-",   "virbr", "veth",    "vmnet",     "vboxnet",
                                            "lxcbr",  "lxdbr", "cni",   "flannel", "kube",      "podman",
                                            "tun",    "tap",   "wg",    "zt",      "tailscale", "utun"};
    for (const char* prefix : kPrefixes)
        if (name.startsWith(QLatin1String(prefix)))
            return true;
    return false;
}

QList<Address> list() {
    QList<Address> addresses;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning))
            continue;
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            const QHostAddress ip = entry.ip();
            if (ip.protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            Address address;
            address.ip = ip.toString();
            address.interfaceName = interface.name();
            address.isLoopback = ip.isLoopback();
            address.isVirtual = !address.isLoopback && (isVirtualName(interface.name()) ||
                                                        interface.type() == QNetworkInterface::Virtual);
            addresses.append(address);
        }
    }
    std::stable_sort(addresses.begin(), addresses.end(), [](const Address& a, const Address& b) {
        const auto rank = [](const Address& x) { return x.isLoopback ? 2 : x.isVirtual ? 1 : 0; };
        return rank(a) < rank(b);
    });
    return addresses;
}

QString choose(const QList<Address>& addresses, const QString& saved) {
    for (const Address& address : addresses)
        if (address.ip == saved)
            return saved;
    return addresses.isEmpty() ? QStringLiteral("127.0.0.1") : addresses.first().ip;
}

} // namespace NetworkAddresses
