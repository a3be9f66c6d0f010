#pragma once

#include "forms/coverdelegate.h"

namespace library {
class RomFolder;
}
namespace preview {
class CoverCache;
}

namespace app {

// The covers of one ROM list: each row's box art by its ROM's database title, from the covers
// the three lists share.
class CoverPictures : public forms::CoverSource
{
    Q_OBJECT
public:
    CoverPictures(const library::RomFolder *folder, preview::CoverCache *covers, QObject *parent = nullptr);
    Cover coverOf(const QModelIndex &entry) override;

private:
    const library::RomFolder *m_folder;
    preview::CoverCache *m_covers;
};

} // namespace app
