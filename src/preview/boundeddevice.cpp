#include "preview/boundeddevice.h"

namespace preview {

BoundedDevice::BoundedDevice(QIODevice &inner, qint64 limit, CancelCheck cancelled)
    : m_inner(inner), m_limit(limit), m_cancelCheck(std::move(cancelled))
{
    QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    m_inner.seek(0);
}

bool BoundedDevice::seek(qint64 position)
{
    return QIODevice::seek(position) && m_inner.seek(position);
}

qint64 BoundedDevice::readData(char *data, qint64 maxSize)
{
    if (m_cancelCheck && m_cancelCheck()) {
        m_cancelled = true;
        return -1;
    }
    if (m_total >= m_limit) {
        // Only more input would tell: at the very end of a file that fits, nothing is lost.
        if (!m_inner.atEnd())
            m_exceeded = true;
        return m_exceeded ? -1 : 0;
    }
    const qint64 got = m_inner.read(data, std::min(maxSize, m_limit - m_total));
    if (got > 0)
        m_total += got;
    return got;
}

} // namespace preview
