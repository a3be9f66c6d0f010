#pragma once

#include "platform/workqueue.h"
#include "preview/snapshot.h"

#include <QImage>
#include <QObject>

#include <memory>

namespace platform {
class Receiver;
}

namespace preview {

// Decodes snapshots off the user-interface thread. Only the newest request's picture is ever
// delivered: a decode that a newer request overtakes is stopped at its next read and dropped, and
// so is one still running as the loader is destroyed.
class SnapshotLoader : public QObject
{
    Q_OBJECT
public:
    using Decoder = std::function<QImage(const QString &path, const QSize &visible, const CancelCheck &cancelled)>;

    // decoder shows a snapshot's top-left part, fitter a picture by title scaled to fit.
    explicit SnapshotLoader(QObject *parent = nullptr, Decoder decoder = loadSnapshot, Decoder fitter = loadFitted);

    // Starts decoding path for a box of the visible size; an earlier request is overtaken.
    void request(const QString &path, const QSize &visible);
    // The same for the first of paths that is a file (looked for off this thread); when none is,
    // the first of fittedPaths that is, scaled to fit the box.
    void request(const QStringList &paths, const QSize &visible, const QStringList &fittedPaths = {});
    // Overtakes every earlier request without starting one.
    void cancel();

signals:
    // The newest request's picture; a null image when it has none.
    void loaded(const QImage &picture);

private:
    Decoder m_decoder;
    Decoder m_fitter;
    std::shared_ptr<platform::Receiver> m_receiver;
    quint64 m_newest = 0; // the request whose picture is wanted
    platform::WorkQueue m_decoding{"Snapshots", platform::WorkQueue::Priority::BelowWindow};
};

} // namespace preview
