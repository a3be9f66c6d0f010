#include "app/runninginstance.h"

#include "platform/filenames.h"
#include "platform/instancechannel.h"

#include <QCryptographicHash>
#include <QDir>

namespace app {

namespace {
const QByteArray kStart = "QUORVANE-START ";
} // namespace

QString RunningInstance::channelName(const QString &configFile)
{
    const QByteArray key = platform::toUtf8Lossless(QDir::homePath()) + '\0' + platform::toUtf8Lossless(configFile);
    return QStringLiteral("quorvane-") + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(20));
}

bool RunningInstance::handOver(const QString &name, const QString &romPath)
{
    // The path's bytes in hex: any name survives, whatever either side's locale.
    return platform::InstanceChannel::send(name, kStart + platform::toUtf8Lossless(romPath).toHex());
}

RunningInstance::RunningInstance(const QString &name, QObject *parent)
    : QObject(parent), m_channel(new platform::InstanceChannel(name, this))
{
    connect(m_channel, &platform::InstanceChannel::received, this, [this](const QByteArray &message) {
        if (message.startsWith(kStart))
            emit asked(platform::fromUtf8Lossless(QByteArray::fromHex(message.mid(kStart.size()))));
    });
}

bool RunningInstance::isListening() const { return m_channel->isListening(); }

} // namespace app
