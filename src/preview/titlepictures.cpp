#include "preview/titlepictures.h"

#include <array>

namespace preview {

namespace {

const QLatin1String kSystemFolder("/Nintendo - Nintendo Entertainment System/");
const std::array<QLatin1String, 3> kKindFolders{QLatin1String("Named_Boxarts/"), QLatin1String("Named_Titles/"),
                                                QLatin1String("Named_Snaps/")};
const QLatin1String kReplaced("&*/:`<>?\\|\"");

} // namespace

QString titlePictureName(const QString &title)
{
    if (title.isEmpty())
        return QString();
    QString name = title;
    for (QChar &c : name) {
        if (kReplaced.contains(c))
            c = QLatin1Char('_');
    }
    return name + QStringLiteral(".png");
}

QStringList titlePicturePaths(const QStringList &folders, const QString &title, TitlePicture first, TitlePicture last)
{
    const QString name = titlePictureName(title);
    QStringList paths;
    if (name.isEmpty())
        return paths;
    for (size_t kind = size_t(first); kind <= size_t(last); ++kind) {
        for (const QString &folder : folders)
            paths << folder + kSystemFolder + kKindFolders[kind] + name;
    }
    return paths;
}

} // namespace preview
