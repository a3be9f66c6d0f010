#include "config/romfolders.h"

#include "config/profilefile.h"
#include "config/romslots.h"
#include "platform/folders.h"

#include <QDir>
#include <QFileInfo>

namespace config {

QString ConfigFiles::fileToRead() const
{
    if (legacyFile.isEmpty() || QFileInfo::exists(file) || !QFileInfo::exists(legacyFile))
        return file;
    return legacyFile;
}

ConfigFiles configFiles(const ConfigFolders &folders)
{
    auto in = [](const QString &folder) { return QDir::toNativeSeparators(QDir(folder).filePath(kConfigFileName)); };
    if (!folders.fixed.isEmpty())
        return {in(folders.fixed), QString(), false};
    if (!folders.application.isEmpty() && QFileInfo::exists(in(folders.application)))
        return {in(folders.application), QString(), true};
    return {in(folders.user), folders.windows.isEmpty() ? QString() : in(folders.windows), false};
}

ConfigFiles configFiles(const QString &fixedFolder)
{
    return configFiles(ConfigFolders{fixedFolder, platform::applicationFolder(), platform::userConfigFolder(),
                                     platform::windowsFolder()});
}

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
    // The user's configuration folder may not exist yet: a first Save makes it.
    const QString folder = QFileInfo(configFile).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    if (profile::WritePrivateProfileStrings(kConfigSection, values, configFile, &reason))
        return true;
    if (error)
        *error = reason;
    return false;
}

} // namespace config
