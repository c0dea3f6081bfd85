#include "listenprobe.h"

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace ListenProbe {

#ifdef Q_OS_WIN

Outcome probe(const QString& address, quint16 port) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return {Result::NoSocket, QStringLiteral("Winsock")};
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    Outcome outcome;
    if (InetPtonW(AF_INET, reinterpret_cast<const wchar_t*>(address.utf16()), &where.sin_addr) != 1) {
        outcome.result = Result::BadAddress;
    } else if (const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0); s == INVALID_SOCKET) {
        outcome = {Result::NoSocket, QStringLiteral("Winsock error %1").arg(WSAGetLastError())};
    } else {
        // Exclusive, as a server on Windows must bind to keep others off its port.
        const BOOL yes = TRUE;
        ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
        const int result = ::bind(s, reinterpret_cast<const sockaddr*>(&where), sizeof where);
        const int error = WSAGetLastError();
        ::closesocket(s);
        if (result == 0)
            outcome.result = Result::Free;
        else if (error == WSAEADDRINUSE)
            outcome.result = Result::InUse;
        else if (error == WSAEADDRNOTAVAIL)
            outcome.result = Result::AddressMissing;
        else if (error == WSAEACCES)
            outcome.result = Result::Forbidden;
        else
            outcome = {Result::Failed, QStringLiteral("Winsock error %1").arg(error)};
    }
    WSACleanup();
    return outcome;
}

#else

Outcome probe(const QString& address, quint16 port) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.toLatin1().constData(), &where.sin_addr) != 1)
        return {Result::BadAddress, {}};
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {Result::NoSocket, QString::fromLocal8Bit(std::strerror(errno))};
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    const int result = ::bind(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where);
    const int error = errno;
    ::close(fd);
    if (result == 0)
        return {Result::Free, {}};
    switch (error) {
    case EADDRINUSE:
        return {Result::InUse, {}};
    case EADDRNOTAVAIL:
        return {Result::AddressMissing, {}};
    case EACCES:
        return {Result::Forbidden, {}};
    default:
        return {Result::Failed, QString::fromLocal8Bit(std::strerror(error))};
    }
}

#endif

} // namespace ListenProbe
