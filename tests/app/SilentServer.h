#pragma once

#include <QHostAddress>
#include <QList>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A TCP port that takes no new connection and refuses none either: a listening socket whose
// accept queue is already full, so the kernel drops every further SYN, as with a server that
// never answers.
class SilentServer
{
public:
    explicit SilentServer(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 0)
    {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(port);
        where.sin_addr.s_addr = htonl(address.toIPv4Address());
        const int yes = 1;
        ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(listener, reinterpret_cast<sockaddr *>(&where), sizeof where) != 0 ||
            ::listen(listener, 0) != 0)
            return;
        socklen_t length = sizeof where;
        ::getsockname(listener, reinterpret_cast<sockaddr *>(&where), &length);
        boundPort = ntohs(where.sin_port);
        // A backlog of 0 still queues one connection; two more make sure it is full.
        for (int i = 0; i < 3; ++i) {
            const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(client, reinterpret_cast<sockaddr *>(&where), sizeof where);
            fillers.append(client);
        }
    }

    ~SilentServer()
    {
        for (const int client : fillers)
            ::close(client);
        if (listener >= 0)
            ::close(listener);
    }

    SilentServer(const SilentServer &) = delete;
    SilentServer &operator=(const SilentServer &) = delete;

    // 0 when the port could not be bound.
    quint16 port() const { return boundPort; }

private:
    int listener = -1;
    quint16 boundPort = 0;
    QList<int> fillers;
};
