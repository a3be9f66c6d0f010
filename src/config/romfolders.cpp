#include "config/romfolders.h"

#include "config/profilefile.h"
#include "config/romslots.h"

#include <QDir>

namespace config {

QStringList ReadRomFolders(const QString &configFile, QString *error)
{
    QStringList folders;
    for (const RomSlot &slot : kRomSlots) {
        QString readError;
        folders.append(profile::GetPrivateProfileString(kConfigSection, QString::fromLatin1(slot.key), QString(),
                                                        configFile, &readError));
        if (error && error->isEmpty())
            *error = readError;
    }
    return folders;
}

bool WriteRomFolders(const QString &configFile, const QStringList &folders, QString *error)
{
    QList<profile::KeyValue> values;
    for (const RomSlot &slot : kRomSlots)
        values.append({QString::fromLatin1(slot.key), folders.value(slot.number - 1)});
    QString reason;
    if (profile::WritePrivateProfileStrings(kConfigSection, values, configFile, &reason))
        return true;
    if (error)
        *error = reason;
    return false;
}

} // namespace config
