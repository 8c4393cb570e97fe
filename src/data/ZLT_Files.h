#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

class QIODevice;

namespace ZLT_Files {

// True when a file (not a directory) of that name exists.
bool FileExists(const QString& fileName);

// Reads the whole file in one piece; raises EZLT_File naming the file and
// the reason when it cannot be opened or read, or is not a regular file.
QByteArray ReadWholeFile(const QString& fileName);

// Reports bytes done out of a total during a long job; returning false
// cancels the job, which then raises EZLT_Aborted.
using ProgressFunction = std::function<bool(qint64 done, qint64 total)>;

// ReadWholeFile for the frame loaders: a missing file or a directory raises
// EZLT_Cat_Load "File does not exist: '%s'" before anything is read. With a
// progress function the file is read in pieces of 4 MiB, reporting before
// each the bytes read so far out of the file's size.
QByteArray ReadFrameFile(const QString& fileName, const ProgressFunction& progress = {});

// Writes the bytes straight into the file, without the temporary copy and
// sync of WriteFileAtomically: for bulk exports of thousands of small
// files, where a sync per file would multiply the time. A failure can leave
// this one file partly written.
void WriteFileInPlace(const QString& fileName, QByteArrayView bytes);

// Writes a file through a temporary file that replaces it only when every
// byte is written and synced, so a failed save leaves the old file as it was.
// write returns false when the device reported an error.
void WriteFileAtomically(const QString& fileName, const std::function<bool(QIODevice&)>& write);

// Flushes a written file descriptor to disk; returns false and sets errno on
// failure. Replaceable so tests can make the sync fail like a disk would.
using SyncFunction = bool (*)(int fd);
SyncFunction SetSyncFunction(SyncFunction sync);

} // namespace ZLT_Files
