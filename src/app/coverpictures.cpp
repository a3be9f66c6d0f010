#include "app/coverpictures.h"

#include "library/folders/romfolder.h"
#include "preview/covercache.h"

namespace app {

CoverPictures::CoverPictures(const library::RomFolder *folder, preview::CoverCache *covers, QObject *parent)
    : forms::CoverSource(parent), m_folder(folder), m_covers(covers)
{
    connect(covers, &preview::CoverCache::came, this, &CoverSource::coversCame);
}

forms::CoverSource::Cover CoverPictures::coverOf(const QModelIndex &entry)
{
    // The ROM's title, not what the row shows: the pictures are named by title whatever is shown.
    const library::ListedFacts *facts = m_folder->model()->factsAt(m_folder->filter()->namesRow(entry.row()));
    if (!facts || facts->title.isEmpty())
        return {};
    const preview::CoverCache::Lookup found = m_covers->cover(facts->title);
    return {found.picture, found.coming};
}

} // namespace app
