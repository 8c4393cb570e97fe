#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// File names are bytes on Linux and need not be UTF-8. These carry any name
// through a QString and back unchanged: valid UTF-8 reads as text, and each
// byte that is not part of valid UTF-8 becomes the lone surrogate
// U+DC80..U+DCFF (shown as a replacement mark), which Encode turns back
// into that byte. Names that are valid UTF-8 convert as QFile's do.
namespace ZLT_FileNames {

QString Decode(QByteArrayView bytes);
QByteArray Encode(const QString& name);

} // namespace ZLT_FileNames
