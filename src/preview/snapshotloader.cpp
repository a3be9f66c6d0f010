#include "preview/snapshotloader.h"

#include "platform/dirscan.h"

namespace preview {

SnapshotLoader::SnapshotLoader(QObject *parent, Decoder decoder)
    : QObject(parent), m_decoder(std::move(decoder)), m_newest(std::make_shared<std::atomic<quint64>>(0))
{
    // One decode and one that is being overtaken: a stopping decode never holds up the next.
    m_pool.setMaxThreadCount(2);
}

SnapshotLoader::~SnapshotLoader()
{
    cancel();
    m_pool.waitForDone(); // no decode outlives the object its picture is posted to
}

void SnapshotLoader::cancel() { ++*m_newest; }

void SnapshotLoader::request(const QString &path, const QSize &visible) { request(QStringList{path}, visible); }

void SnapshotLoader::request(const QStringList &paths, const QSize &visible)
{
    const quint64 ticket = ++*m_newest;
    const auto newest = m_newest;
    const Decoder decoder = m_decoder;
    m_pool.start([this, newest, ticket, decoder, paths, visible] {
        const auto overtaken = [newest, ticket] { return newest->load() != ticket; };
        QString path = paths.value(0);
        for (const QString &candidate : paths) {
            if (platform::pathKind(candidate) == platform::PathKind::RegularFile) {
                path = candidate;
                break;
            }
        }
        const QImage picture = decoder(path, visible, overtaken);
        if (overtaken())
            return;
        QMetaObject::invokeMethod(this, [this, ticket, picture] {
            if (m_newest->load() == ticket)
                emit loaded(picture);
        }, Qt::QueuedConnection);
    });
}

} // namespace preview
