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

bool readRomFolders(const QString &configFile, QStringList *folders, QString *error, QList<bool> *subfolders)
{
    folders->clear();
    if (subfolders)
        subfolders->clear();
    QString firstError;
    for (const RomSlot &slot : kRomSlots) {
        QString readError;
        folders->append(profile::GetPrivateProfileString(kConfigSection, QString::fromLatin1(slot.key), QString(),
                                                         configFile, &readError));
        if (firstError.isEmpty())
            firstError = readError;
        if (subfolders) {
            subfolders->append(profile::GetPrivateProfileString(kConfigSection, QString::fromLatin1(slot.subfoldersKey), QString(),
                                                                configFile, &readError)
                                   .trimmed() == QLatin1String("1"));
        }
    }
    if (error)
        *error = firstError;
    return firstError.isEmpty();
}

bool writeRomFolders(const QString &configFile, const QStringList &folders, QString *error, const QList<bool> &subfolders)
{
    QList<profile::KeyValue> values;
    for (const RomSlot &slot : kRomSlots)
        values.append({QString::fromLatin1(slot.key), folders.value(slot.index)});
    // A subfolders key is written once it is on, and kept (as "0") once it was: a file whose
    // folders never include their subfolders stays as earlier versions write it.
    for (const RomSlot &slot : kRomSlots) {
        const QString key = QString::fromLatin1(slot.subfoldersKey);
        if (subfolders.value(slot.index))
            values.append({key, QStringLiteral("1")});
        else if (!subfolders.isEmpty() && !profile::GetPrivateProfileString(kConfigSection, key, QString(), configFile).isEmpty())
            values.append({key, QStringLiteral("0")});
    }
    // The user's configuration folder may not exist yet: a first Save makes it.
    const QString folder = QFileInfo(configFile).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    return profile::WritePrivateProfileStrings(kConfigSection, values, configFile, error);
}

RomFolders::RomFolders(const ConfigFiles &files, QObject *parent) : QObject(parent), m_files(files) {}

bool RomFolders::load(QString *error)
{
    QStringList folders;
    QList<bool> subfolders;
    const bool read = readRomFolders(m_files.fileToRead(), &folders, error, &subfolders);
    setFolders(folders, subfolders);
    return read;
}

bool RomFolders::reload(QString *error)
{
    QStringList folders;
    QList<bool> subfolders;
    if (!readRomFolders(m_files.fileToRead(), &folders, error, &subfolders))
        return false;
    setFolders(folders, subfolders);
    return true;
}

void RomFolders::setFolders(const QStringList &folders, const QList<bool> &subfolders)
{
    if (folders != m_folders || subfolders != m_subfolders) {
        m_folders = folders;
        m_subfolders = subfolders;
        emit changed();
    }
}

bool RomFolders::save(const QStringList &folders, const QList<bool> &subfolders, QString *error)
{
    if (!writeRomFolders(m_files.file, folders, error, subfolders))
        return false;
    m_folders = folders;
    m_subfolders = subfolders;
    emit changed(); // even unchanged: a Save lists the folders again
    return true;
}

} // namespace config
