#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

namespace ZLT_Files {

// True when a file (not a directory) of that name exists.
bool FileExists(const QString& fileName);

// Reads the whole file in one piece; raises EZLT_File naming the file and
// the reason when it cannot be opened or read.
QByteArray ReadWholeFile(const QString& fileName);

// Writes a file through a temporary file that replaces it only when every
// byte is written and synced, so a failed save leaves the old file as it was.
// write returns false when the device reported an error.
void WriteFileAtomically(const QString& fileName, const std::function<bool(QIODevice&)>& write);

// Flushes a written file descriptor to disk; returns false and sets errno on
// failure. Replaceable so tests can make the sync fail like a disk would.
using SyncFunction = bool (*)(int fd);
SyncFunction SetSyncFunction(SyncFunction sync);

} // namespace ZLT_Files
