#include "platform/filenames.h"

namespace platform {

// Windows keeps 8-bit text in the ANSI code page; file names themselves are UTF-16 there.
QString fromSystem8Bit(QByteArrayView bytes) { return QString::fromLocal8Bit(bytes); }
QByteArray toSystem8Bit(QStringView text) { return text.toLocal8Bit(); }
bool fitsSystem8Bit(QStringView text) { return QString::fromLocal8Bit(text.toLocal8Bit()) == text; }

} // namespace platform
