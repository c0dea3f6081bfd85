#pragma once

#include <QString>

// Whether a TCP server could listen at an IPv4 address and port: a socket is bound there and let go
// (POSIX sockets on Linux, Winsock on Windows).
namespace ListenProbe {

enum class Result { Free, BadAddress, NoSocket, InUse, AddressMissing, Forbidden, Failed };

struct Outcome {
    Result result = Result::Failed;
    QString reason; // the system's text, for NoSocket and Failed
};

Outcome probe(const QString& address, quint16 port);

} // namespace ListenProbe
