#include "preview/snapshotloader.h"

#include "platform/dirscan.h"
#include "platform/receiver.h"

namespace preview {

SnapshotLoader::SnapshotLoader(QObject *parent, Decoder decoder)
    : QObject(parent), m_decoder(std::move(decoder)), m_receiver(platform::Receiver::of(this))
{
}

void SnapshotLoader::cancel()
{
    ++m_newest;
    m_decoding.cancel();
}

void SnapshotLoader::request(const QString &path, const QSize &visible) { request(QStringList{path}, visible); }

void SnapshotLoader::request(const QStringList &paths, const QSize &visible)
{
    cancel();
    m_decoding.post([receiver = m_receiver, this, ticket = m_newest, decoder = m_decoder, paths,
                     visible](const platform::CancelFlag &cancelled) {
        QString path = paths.value(0);
        for (const QString &candidate : paths) {
            if (platform::pathKind(candidate) == platform::PathKind::RegularFile) {
                path = candidate;
                break;
            }
        }
        const QImage picture = decoder(path, visible, cancelled.asCheck());
        if (cancelled.isSet())
            return;
        receiver->post([this, ticket, picture] {
            if (m_newest == ticket)
                emit loaded(picture);
        });
    });
}

} // namespace preview
