#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>

#include <algorithm>
#include <functional>
#include <memory>

struct iovec;

namespace ZLT_Files {

// From here on a write past the system's file-size limit fails with an
// error that is reported like any other, instead of ending the program.
// Called once at start.
void ReportWritesPastSizeLimit();

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
// not exist: '%s'" before anything is read.
QByteArray ReadFrameFile(const QString& fileName, qint64 limit = -1);

// True when the file starts with the bytes "ILDA"; false also when it
// cannot be read.
bool StartsWithIlda(const QString& fileName);

// A frame file read front to back through a buffer, so that a loader reads
// only as far as the file's headers lead it: a huge file costs no more
// memory than the frames taken from it and the buffer. Opened as
// ReadFrameFile opens files, with the same errors.
class TFileReader
{
public:
    // bufferSize: the most Fill makes readable at once.
    TFileReader(const QString& fileName, qsizetype bufferSize);
    ~TFileReader();
    TFileReader(const TFileReader&) = delete;
    TFileReader& operator=(const TFileReader&) = delete;

    // The size the system gave when the file was opened (0 when it gives none).
    qint64 Size() const { return FSize; }
    // The offset in the file of Data().
    qint64 Position() const { return FPosition; }
    // Makes the next n bytes (n at most the buffer's size) readable at
    // Data(); returns how many are, fewer only at the end of the file.
    qsizetype Fill(qsizetype n);
    const char* Data() const { return FBuffer.get() + FStart; }
    // Passes over n bytes that Fill made readable.
    void Skip(qsizetype n)
    {
        FStart += n;
        FPosition += n;
    }
    // Copies the next n bytes to target, large amounts straight from the
    // file; returns how many there were.
    qint64 Take(char* target, qint64 n);

private:
    qsizetype ReadSome(char* target, qsizetype n);

    QString FFileName;
    int FFd = -1;
    qint64 FSize = 0;
    qint64 FPosition = 0;
    std::unique_ptr<char[]> FBuffer;
    qsizetype FCapacity;
    qsizetype FStart = 0; // Data() in the buffer
    qsizetype FEnd = 0;   // the end of what was read into the buffer
};

// The same reading from bytes in memory.
class TByteReader
{
public:
    explicit TByteReader(QByteArrayView data) : FData(data) {}

    qint64 Size() const { return FData.size(); }
    qint64 Position() const { return FPosition; }
    qsizetype Fill(qsizetype n) const { return std::min<qsizetype>(n, FData.size() - FPosition); }
    const char* Data() const { return FData.data() + FPosition; }
    void Skip(qsizetype n) { FPosition += n; }
    qint64 Take(char* target, qint64 n);

private:
    QByteArrayView FData;
    qsizetype FPosition = 0;
};

// Writes the bytes under a temporary name in the file's folder and renames
// that over the file once it is complete, so the file is always either its
// old bytes or the new ones. Without a sync per file, for bulk exports of
// thousands of small files: call SyncFolder once when all are written.
void ReplaceFile(const QString& fileName, QByteArrayView bytes);

// Makes the folder's entries (the names ReplaceFile put in place) durable.
void SyncFolder(const QString& folder);

// Creates the folder (its parent must exist) unless a folder of that name
// is there; raises EZLT_File with the system's reason.
void CreateFolder(const QString& folder);

// Writes all of iov to fd, resuming after short writes and interruptions;
// false with errno set when the write fails. iov is changed.
bool WriteVectors(int fd, iovec* iov, int count);

// The device a file is written through: unbuffered, straight to the file's
// descriptor, so a failed write keeps the system's reason (a QFile takes a
// short write on a full disk for success and has no reason to give).
class TWriteDevice : public QIODevice
{
public:
    explicit TWriteDevice(int fd);
    int Handle() const { return FFd; }
    // The error number of the failed write; 0 while none failed.
    int Errno() const { return FErrno; }
    // Records the failure of a write made on Handle() directly.
    void Failed(int error);

protected:
    qint64 readData(char* data, qint64 size) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    int FFd;
    int FErrno = 0;
};

// Writes a file through a temporary file that replaces it only when every
// byte is written and synced, so a failed save leaves the old file as it was.
// write returns false when the device reported an error; the error raised
// then gives the device's reason.
void WriteFileAtomically(const QString& fileName, const std::function<bool(TWriteDevice&)>& write);

// WriteFileAtomically for bytes already in memory.
void WriteFileAtomically(const QString& fileName, QByteArrayView bytes);

// Flushes a written file descriptor to disk; returns false and sets errno on
// failure. Replaceable so tests can make the sync fail like a disk would.
using SyncFunction = bool (*)(int fd);
SyncFunction SetSyncFunction(SyncFunction sync);

} // namespace ZLT_Files
