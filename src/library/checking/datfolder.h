#pragma once

#include "library/identity/romdatabase.h"

#include <QString>
#include <QStringList>

namespace library {

// Adds every DAT in folder to database, in name order: plain ones and each one left in a zip (as
// the downloads come). Every other file gets a message in errors that says which forms are read.
void readDatFolder(RomDatabase &database, const QString &folder, QStringList *errors);

} // namespace library
