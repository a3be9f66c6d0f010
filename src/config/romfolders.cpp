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

bool readRomFolders(const QString &configFile, QStringList *folders, QString *error)
{
    folders->clear();
    QString firstError;
    for (const RomSlot &slot : kRomSlots) {
        QString readError;
        folders->append(profile::GetPrivateProfileString(kConfigSection, QString::fromLatin1(slot.key), QString(),
                                                         configFile, &readError));
        if (firstError.isEmpty())
            firstError = readError;
    }
    if (error)
        *error = firstError;
    return firstError.isEmpty();
}

bool writeRomFolders(const QString &configFile, const QStringList &folders, QString *error)
{
    QList<profile::KeyValue> values;
    for (const RomSlot &slot : kRomSlots)
        values.append({QString::fromLatin1(slot.key), folders.value(slot.index)});
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
    const bool read = readRomFolders(m_files.fileToRead(), &folders, error);
    setFolders(folders);
    return read;
}

bool RomFolders::reload(QString *error)
{
    QStringList folders;
    if (!readRomFolders(m_files.fileToRead(), &folders, error))
        return false;
    setFolders(folders);
    return true;
}

void RomFolders::setFolders(const QStringList &folders)
{
    if (folders != m_folders) {
        m_folders = folders;
        emit changed();
    }
}

bool RomFolders::save(const QStringList &folders, QString *error)
{
    if (!writeRomFolders(m_files.file, folders, error))
        return false;
    m_folders = folders;
    emit changed(); // even unchanged: a Save lists the folders again
    return true;
}

} // namespace config
