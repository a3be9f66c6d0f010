#include "preview/snapshotloader.h"

#include "platform/dirscan.h"
#include "platform/receiver.h"

namespace preview {

SnapshotLoader::SnapshotLoader(QObject *parent, Decoder decoder, Decoder fitter)
    : QObject(parent), m_decoder(std::move(decoder)), m_fitter(std::move(fitter)), m_receiver(platform::Receiver::of(this))
{
}

void SnapshotLoader::cancel()
{
    ++m_newest;
    m_decoding.cancel();
}

void SnapshotLoader::request(const QString &path, const QSize &visible) { request(QStringList{path}, visible); }

void SnapshotLoader::request(const QStringList &paths, const QSize &visible, const QStringList &fittedPaths)
{
    cancel();
    m_decoding.post([receiver = m_receiver, this, ticket = m_newest, decoder = m_decoder, fitter = m_fitter, paths, fittedPaths,
                     visible](const platform::CancelFlag &cancelled) {
        const auto firstFile = [&cancelled](const QStringList &candidates) {
            for (const QString &candidate : candidates) {
                if (cancelled.isSet() || platform::pathKind(candidate) == platform::PathKind::RegularFile)
                    return candidate;
            }
            return QString();
        };
        QString path = firstFile(paths);
        const Decoder *decode = &decoder;
        if (path.isEmpty()) {
            path = firstFile(fittedPaths);
            if (path.isEmpty())
                path = paths.value(0); // decoded to nothing, as a missing file is
            else
                decode = &fitter;
        }
        const QImage picture = (*decode)(path, visible, cancelled.asCheck());
        if (cancelled.isSet())
            return;
        receiver->post([this, ticket, picture] {
            if (m_newest == ticket)
                emit loaded(picture);
        });
    });
}

} // namespace preview
