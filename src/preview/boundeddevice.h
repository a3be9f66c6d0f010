#pragma once

#include "preview/snapshot.h"

#include <QIODevice>

namespace preview {

// Reads another device, but no more than limit bytes in all (rereads after a seek count too), and
// stops as soon as the decode is cancelled: a read then fails, and exceeded() or cancelled() says
// why. A decoder fed through it takes bounded time whatever the file holds.
class BoundedDevice : public QIODevice
{
public:
    BoundedDevice(QIODevice &inner, qint64 limit, CancelCheck cancelled);

    bool isSequential() const override { return m_inner.isSequential(); }
    bool seek(qint64 position) override;
    qint64 size() const override { return m_inner.size(); }
    bool exceeded() const { return m_exceeded; }
    bool cancelled() const { return m_cancelled; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QIODevice &m_inner;
    qint64 m_limit;
    qint64 m_total = 0;
    CancelCheck m_cancelCheck;
    bool m_exceeded = false;
    bool m_cancelled = false;
};

} // namespace preview
