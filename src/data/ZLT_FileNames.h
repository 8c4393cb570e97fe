#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// File names are bytes on Linux, and not every name is valid UTF-8 (a file
// from an old archive may be named "L\xE4ser.cat" in Latin-1). Qt's own file
// classes cannot reach such a file: they decode the name lossily and skip it
// in folder listings. The program keeps every name as text that gives back
// its bytes unchanged: valid UTF-8 as the letters it spells, every other
// byte as a lone surrogate U+DC80 to U+DCFF (as Python does), and reaches
// such names only through these functions.
namespace ZLT_FileNames {

// The name's bytes as text; Encode(Decode(bytes)) == bytes for any bytes.
QString Decode(QByteArrayView bytes);
// The bytes of a name Decode gave, or UTF-8 for any other text.
QByteArray Encode(const QString& name);

// Whether the name holds bytes that are not UTF-8: Qt's file classes cannot reach it.
bool HasForeignBytes(const QString& name);

// The name's bytes as a file: URL ("file:///tmp/L%E4ser.cat"), and back;
// FromUrl gives a null string for anything but a local file URL.
QByteArray ToUrl(const QString& name);
QString FromUrl(QByteArrayView url);

// What the system says of the name (symbolic links followed).
bool IsDirectory(const QString& name);
bool IsFile(const QString& name); // exists and is not a directory

// The name as an absolute path against the working folder, "." and ".."
// resolved by its text (QFileInfo's absoluteFilePath loses foreign bytes).
QString Absolute(const QString& name);

// The path with symbolic links, "." and ".." resolved; empty when the file
// does not exist.
QString Canonical(const QString& name);

// The names in a folder (no "." or ".."), in the file system's order,
// without directories; empty when the folder cannot be read.
QStringList FilesIn(const QString& folder);

} // namespace ZLT_FileNames
