#pragma once
// A channel between two starts of one program: the first listens under a name, a later one sends
// it a short message and is told whether it was taken. A local socket on POSIX; on Windows, whose
// Qt here has no network module, a message-only window that takes WM_COPYDATA.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

namespace platform {

class InstanceChannel : public QObject
{
    Q_OBJECT
public:
    // Sends message to the program listening under name; false when none took it in time.
    static bool send(const QString &name, const QByteArray &message);

    // Listens under name, taking it over from a program that ended without giving it up.
    explicit InstanceChannel(const QString &name, QObject *parent = nullptr);
    ~InstanceChannel() override;
    bool isListening() const;

signals:
    // On this object's thread, a moment after it came: the sender is never kept waiting for what
    // is done with it.
    void received(const QByteArray &message);

private:
    struct Listener;
    std::unique_ptr<Listener> m_listener;
};

} // namespace platform
