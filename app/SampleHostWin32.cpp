#include <winsock2.h>
#include <ws2tcpip.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "app/SampleHost.h"

namespace {

// A port on 127.0.0.1 that nobody listens on now; 0 when none can be had.
quint16 FreeLoopbackPort() {
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 0;
    quint16 port = 0;
    const SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (probe != INVALID_SOCKET) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        if (bind(probe, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = ntohs(address.sin_port);
        closesocket(probe);
    }
    WSACleanup();
    return port;
}

// The sample host's port: chosen once, while free, and kept in the folder, so
// settings that name it still name it at the next start.
quint16 SamplePort(const QString& folder) {
    QFile kept(folder + QStringLiteral("/trevalon-host.tcp"));
    if (kept.open(QIODevice::ReadOnly)) {
        bool number = false;
        const uint port = kept.readAll().trimmed().toUInt(&number);
        if (number && port > 0 && port < 65536) return static_cast<quint16>(port);
        kept.close();
    }
    const quint16 port = FreeLoopbackPort();
    if (port != 0 && QDir().mkpath(folder) && kept.open(QIODevice::WriteOnly | QIODevice::Truncate))
        kept.write(QByteArray::number(port));
    return port;
}

}  // namespace

// Windows has no pseudo-terminals: the simulator listens on a loopback TCP
// port, which the settings name as socket://127.0.0.1:PORT.
TSampleHostLine SampleHostLine(const QString& folder) {
    const quint16 port = SamplePort(folder);
    if (port == 0) return {};
    const QString address = QStringLiteral("127.0.0.1:") + QString::number(port);
    // The simulator logs where it listens once it does.
    const QString listening = QStringLiteral("listening on ") + address + u',';
    return {true,
            {QStringLiteral("--listen"), address},
            QStringLiteral("socket://") + address,
            [listening](const QString& log) { return log.contains(listening); },
            true,
            // No console window beside the program's own.
            [](QProcess& process) {
                process.setCreateProcessArgumentsModifier(
                    [](QProcess::CreateProcessArguments* arguments) {
                        arguments->flags |= CREATE_NO_WINDOW;
                    });
            }};
}
