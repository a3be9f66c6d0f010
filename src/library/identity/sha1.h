#pragma once
// SHA-1, the sum ROM databases know a ROM by, with the processor's SHA instructions where it has
// them: three to four times Qt's portable code, which sets the speed of a ROM's first check and
// of a zipped ROM's first unpack. Elsewhere it is Qt's.

#include <QByteArray>
#include <QByteArrayView>
#include <QCryptographicHash>

#include <array>
#include <cstdint>

namespace library {

class Sha1
{
public:
    Sha1();
    void addData(QByteArrayView bytes);
    QByteArray result(); // 20 bytes; the sum is finished by it

    static bool usesProcessorInstructions();

private:
    void addBlocks(const uchar *blocks, size_t count);

    bool m_fast;
    QCryptographicHash m_portable{QCryptographicHash::Sha1};
    std::array<uint32_t, 5> m_state;
    std::array<uchar, 64> m_pending{}; // a block not yet whole
    size_t m_pendingSize = 0;
    quint64 m_length = 0; // bytes added
};

} // namespace library
