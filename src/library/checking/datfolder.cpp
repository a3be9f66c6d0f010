#include "library/checking/datfolder.h"

#include "library/archives/romarchive.h"

#include <QDir>

namespace library {

namespace {

bool endsWithNoCase(QByteArrayView name, QByteArrayView ending)
{
    return name.size() >= ending.size() && QByteArrayView(name.last(ending.size())).compare(ending, Qt::CaseInsensitive) == 0;
}

} // namespace

void readDatFolder(RomDatabase &database, const QString &folder, QStringList *errors)
{
    const QDir dir(folder);
    // Hidden files are the system's or an editor's, never a DAT put there.
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const QString path = dir.filePath(name);
        QString error;
        if (name.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive)) {
            const WantedFile dat{[](QByteArrayView entry) { return endsWithNoCase(entry, ".dat") || endsWithNoCase(entry, ".xml"); },
                                 QStringLiteral(".dat or .xml file"), kLargestDatFile};
            QByteArray bytes;
            if (const QString why = readArchivedFile(path, dat, &bytes); !why.isEmpty())
                error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), why);
            else
                database.addDat(bytes, QDir::toNativeSeparators(path), &error);
        } else {
            database.addFile(path, &error);
        }
        if (!error.isEmpty() && errors)
            errors->append(error);
    }
}

} // namespace library
