#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

struct iovec;

class QIODevice;

namespace ZLT_Files {

// True when a file (not a directory) of that name exists.
bool FileExists(const QString& fileName);

// Reads the whole file in one piece; raises EZLT_File naming the file and
// the reason when it cannot be opened or read, or is not a regular file.
QByteArray ReadWholeFile(const QString& fileName);

// Reads at most limit bytes from the start of a regular file, so a huge or
// sparse file costs no more than the largest valid one; *cut (when given)
// tells whether the file holds more. Errors as ReadWholeFile.
QByteArray ReadFileHead(const QString& fileName, qint64 limit, bool* cut = nullptr);

// Reports bytes done out of a total during a long job; returning false
// cancels the job, which then raises EZLT_Aborted.
using ProgressFunction = std::function<bool(qint64 done, qint64 total)>;

// ReadWholeFile (or ReadFileHead with a limit of 0 or more) for the frame
// loaders: a missing file or a directory raises EZLT_Cat_Load "File does
// not exist: '%s'" before anything is read. With a progress function the
// file is read in pieces of 4 MiB, reporting before each the bytes read so
// far out of the file's size.
QByteArray ReadFrameFile(const QString& fileName, qint64 limit = -1, const ProgressFunction& progress = {});

// Writes the bytes under a temporary name in the file's folder and renames
// that over the file once it is complete, so the file is always either its
// old bytes or the new ones. Without a sync per file, for bulk exports of
// thousands of small files: call SyncFolder once when all are written.
void ReplaceFile(const QString& fileName, QByteArrayView bytes);

// Makes the folder's entries (the names ReplaceFile put in place) durable.
void SyncFolder(const QString& folder);

// Writes all of iov to fd, resuming after short writes and interruptions;
// false with errno set when the write fails. iov is changed.
bool WriteVectors(int fd, iovec* iov, int count);

// Writes a file through a temporary file that replaces it only when every
// byte is written and synced, so a failed save leaves the old file as it was.
// write returns false when the device reported an error.
void WriteFileAtomically(const QString& fileName, const std::function<bool(QIODevice&)>& write);

// WriteFileAtomically for bytes already in memory.
void WriteFileAtomically(const QString& fileName, QByteArrayView bytes);

// Flushes a written file descriptor to disk; returns false and sets errno on
// failure. Replaceable so tests can make the sync fail like a disk would.
using SyncFunction = bool (*)(int fd);
SyncFunction SetSyncFunction(SyncFunction sync);

} // namespace ZLT_Files
