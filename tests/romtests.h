#pragma once
// ROM files and their checks, shared by the tests of what a ROM is and of the library database.

#include "testutil.h"

#include "library/checking/romchecker.h"
#include "library/folders/romlistmodel.h"
#include "library/folders/romnames.h"
#include "library/identity/romidentity.h"

#include <QCryptographicHash>
#include <QSignalSpy>

#include <zlib.h>

namespace testutil {

// An iNES header: prg16k x 16 KB of program, chr8k x 8 KB of pictures.
inline QByteArray header(quint8 prg16k, quint8 chr8k, quint8 flags6 = 0, QByteArray tail = QByteArray(8, '\0'))
{
    return QByteArray("NES\x1A", 4) + char(prg16k) + char(chr8k) + char(flags6) + char(0) + tail;
}

inline library::RomSums sumsOf(QByteArrayView bytes)
{
    return {quint32(crc32(0, reinterpret_cast<const Bytef *>(bytes.data()), uInt(bytes.size()))),
            QCryptographicHash::hash(bytes, QCryptographicHash::Sha1), {}};
}

using FactsByName = QHash<QByteArray, library::ListedFacts>;

// Checks folder's names with checker, as a list of them (model, when given) asks, and waits until
// it is done; the facts by name.
inline FactsByName checkAll(library::RomChecker &checker, const QString &folder, const QStringList &names,
                            library::RomListModel *model = nullptr)
{
    library::RomListModel own;
    if (!model)
        model = &own;
    library::RomNames listed;
    for (const QString &name : names)
        listed.append(name.toUtf8());
    model->reset(listed);
    FactsByName all;
    const auto take = [&](const QString &, const library::CheckedBatch &facts) {
        model->addFacts(facts);
        for (const auto &[ordinal, index] : facts.byOrdinal())
            all.insert(QByteArray(facts.names().constData() + listed.starts()[ordinal]), facts.facts()[index]);
        for (const auto &[name, index] : facts.byName())
            all.insert(name, facts.facts()[index]);
    };
    const QMetaObject::Connection taking = QObject::connect(&checker, &library::RomChecker::checked, model, take);
    QSignalSpy idle(&checker, &library::RomChecker::idle);
    checker.check(folder, model->namesBuffer());
    while (idle.isEmpty() || all.size() < names.size()) {
        if (!idle.wait(10000))
            break;
    }
    QObject::disconnect(taking);
    return all;
}

} // namespace testutil
