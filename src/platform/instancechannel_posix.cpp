#include "platform/instancechannel.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

namespace platform {

namespace {
constexpr int kWaitMs = 2000;                 // a program that does not answer by then is taken as gone
constexpr qsizetype kLongestMessage = 64 * 1024;
const QByteArray kTaken = "TAKEN\n";
} // namespace

struct InstanceChannel::Listener {
    QLocalServer server;
};

bool InstanceChannel::send(const QString &name, const QByteArray &message)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kWaitMs))
        return false;
    // Its length first: the other side knows when it has it all.
    socket.write(QByteArray::number(message.size()) + '\n' + message);
    if (!socket.waitForBytesWritten(kWaitMs))
        return false;
    QByteArray reply;
    while (reply.size() < kTaken.size() && socket.waitForReadyRead(kWaitMs))
        reply += socket.readAll();
    return reply.startsWith(kTaken);
}

InstanceChannel::InstanceChannel(const QString &name, QObject *parent)
    : QObject(parent), m_listener(std::make_unique<Listener>())
{
    QLocalServer &server = m_listener->server;
    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server.listen(name) && server.serverError() == QAbstractSocket::AddressInUseError && !send(name, {})) {
        QLocalServer::removeServer(name); // left by a program that ended without closing it
        server.listen(name);
    }
    connect(&server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_listener->server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            // Read as it comes, never waited for: a sender that stalls holds up nothing.
            connect(socket, &QLocalSocket::readyRead, this, [this, socket = QPointer<QLocalSocket>(socket)] {
                if (!socket)
                    return;
                const QByteArray got = socket->peek(kLongestMessage + 32);
                const qsizetype end = got.indexOf('\n');
                bool sized = false;
                const qsizetype size = end > 0 ? got.left(end).toLongLong(&sized) : -1;
                if ((end < 0 && got.size() > 32) || (end >= 0 && (!sized || size < 0 || size > kLongestMessage))) {
                    socket->abort(); // no message of ours
                    return;
                }
                if (end < 0 || got.size() < end + 1 + size)
                    return; // more to come
                socket->readAll();
                socket->write(kTaken);
                socket->flush();
                const QByteArray message = got.mid(end + 1, size);
                QMetaObject::invokeMethod(this, [this, message] { emit received(message); }, Qt::QueuedConnection);
            });
        }
    });
}

InstanceChannel::~InstanceChannel() = default;

bool InstanceChannel::isListening() const { return m_listener->server.isListening(); }

} // namespace platform
