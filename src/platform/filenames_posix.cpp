#include "platform/filenames.h"

namespace platform {

// File names, environment and the profile file are UTF-8 here; names that are not stay bytes.
QString fromSystem8Bit(QByteArrayView bytes) { return fromUtf8Lossless(bytes); }
QByteArray toSystem8Bit(QStringView text) { return toUtf8Lossless(text); }
bool fitsSystem8Bit(QStringView text) { return fromUtf8Lossless(toUtf8Lossless(text)) == text; }

} // namespace platform
