#pragma once

#include <QObject>
#include <QString>

namespace platform {
class InstanceChannel;
}

namespace app {

// One Quorvane per user and configuration file: a second one started hands its ROM (or nothing)
// to the one running and ends.
class RunningInstance : public QObject
{
    Q_OBJECT
public:
    // The channel's name for configFile: per user (their home folder) and per configuration file.
    static QString channelName(const QString &configFile);
    // Hands romPath (empty: none) to the Quorvane listening on name; false when none takes it.
    static bool handOver(const QString &name, const QString &romPath);

    explicit RunningInstance(const QString &name, QObject *parent = nullptr);
    bool isListening() const;

signals:
    // Another start asked for this program, with a ROM to start (empty: none).
    void asked(const QString &romPath);

private:
    platform::InstanceChannel *m_channel;
};

} // namespace app
