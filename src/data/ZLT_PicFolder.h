#pragma once

#include <QString>
#include <QStringList>

// A folder of picture files, as the bulk export writes it and the folder
// import reads it: one "00042.pic" per frame, named by its slot.
namespace ZLT_PicFolder {

// The file name of the frame at a slot (or a position in a list): "00042.pic".
QString FileName(int slot);

// folder joined with name by the platform's separator, without doubling
// one that folder already ends with.
QString Join(const QString& folder, const QString& name);

// The names (without the folder) of the folder's picture files, in the
// order the import reads them: every name ending in ".pic" in any case,
// sorted as the locale sorts names without regard to case, names that
// differ only in case in a fixed order. Empty when the folder holds none
// or cannot be read. Names that are not UTF-8 keep their bytes.
QStringList PicFiles(const QString& folder);

} // namespace ZLT_PicFolder
