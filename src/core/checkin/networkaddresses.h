#pragma once

#include <QList>
#include <QString>

// The machine's IPv4 addresses that phones might reach: those of interfaces that are up and running.
// Real interfaces (Wi-Fi, Ethernet) come first; virtual and container bridges (docker0, br-…, virbr…,
// veth…, vmnet…, VPN tunnels), whose addresses no phone can reach, come after them and are marked;
// the loopback address comes last, for this machine alone.
namespace NetworkAddresses {

struct Address {
    QString ip;
    QString interfaceName;
    bool isVirtual = false;
    bool isLoopback = false;
    // "192.168.1.20 (wlan0)", "172.17.0.1 (docker0，虚拟网卡)"
    QString label() const;
};

QList<Address> list();
// Whether an interface of that name is a virtual or container one.
bool isVirtualName(const QString& name);
// The address to use: the saved one while it is still on the machine, else the first listed.
QString choose(const QList<Address>& addresses, const QString& saved);

} // namespace NetworkAddresses
