#include "ZLT_Files.h"

#include "ZLT_Error.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace ZLT_Files {

namespace {

bool SyncToDisk(int fd)
{
    return ::fsync(fd) == 0;
}

SyncFunction CurrentSync = &SyncToDisk;

} // namespace

SyncFunction SetSyncFunction(SyncFunction sync)
{
    const SyncFunction old = CurrentSync;
    CurrentSync = sync ? sync : &SyncToDisk;
    return old;
}

bool FileExists(const QString& fileName)
{
    const QFileInfo info(fileName);
    return info.exists() && !info.isDir();
}

namespace {

enum class FileKind
{
    Missing,
    Directory,
    Regular,
    Other
};

// One stat call: loaders run this for every file of a bulk import.
FileKind KindOf(const QString& fileName)
{
    std::error_code error;
    const auto status =
        std::filesystem::status(std::filesystem::path(QFile::encodeName(fileName).toStdString()), error);
    if (error || !std::filesystem::exists(status))
        return FileKind::Missing;
    if (std::filesystem::is_directory(status))
        return FileKind::Directory;
    return std::filesystem::is_regular_file(status) ? FileKind::Regular : FileKind::Other;
}

// A device or pipe never ends (or blocks on open): only regular files are read.
QByteArray ReadFile(const QString& fileName, FileKind kind, const ProgressFunction& progress = {})
{
    if (kind == FileKind::Other)
        throw EZLT_File(QStringLiteral("Cannot read file '%1': it is not a regular file").arg(fileName));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw EZLT_File(QStringLiteral("Cannot open file '%1': %2").arg(fileName, file.errorString()));

    // A regular file's size is known; files that report none (as some
    // virtual file systems do) are read to their end.
    const qint64 size = file.size();
    if (size <= 0) {
        QByteArray data = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw EZLT_File(QStringLiteral("Cannot read file '%1': %2").arg(fileName, file.errorString()));
        return data;
    }
    QByteArray data;
    data.resize(size);
    // Pieces small enough for a progress dialog to answer Cancel soon.
    const qint64 piece = progress ? qint64(4) << 20 : size;
    qint64 done = 0;
    while (done < size) {
        if (progress && !progress(done, size))
            throw EZLT_Aborted();
        const qint64 n = file.read(data.data() + done, std::min(piece, size - done));
        if (n < 0)
            throw EZLT_File(QStringLiteral("Cannot read file '%1': %2").arg(fileName, file.errorString()));
        if (n == 0)
            break; // the file shrank while we read it
        done += n;
    }
    data.truncate(done);
    return data;
}

} // namespace

QByteArray ReadWholeFile(const QString& fileName)
{
    const FileKind kind = KindOf(fileName);
    return ReadFile(fileName,
                    kind == FileKind::Regular || kind == FileKind::Other ? kind : FileKind::Regular);
}

QByteArray ReadFrameFile(const QString& fileName, const ProgressFunction& progress)
{
    const FileKind kind = KindOf(fileName);
    if (kind == FileKind::Missing || kind == FileKind::Directory)
        throw EZLT_Cat_Load(QStringLiteral("File does not exist: '%1'").arg(fileName));
    return ReadFile(fileName, kind, progress);
}

void WriteFileInPlace(const QString& fileName, QByteArrayView bytes)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EZLT_File(QStringLiteral("Cannot create file '%1': %2").arg(fileName, file.errorString()));
    if (file.write(bytes.data(), bytes.size()) != bytes.size())
        throw EZLT_File(QStringLiteral("Cannot write file '%1': %2").arg(fileName, file.errorString()));
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw EZLT_File(QStringLiteral("Cannot write file '%1': %2").arg(fileName, file.errorString()));
}

void WriteFileAtomically(const QString& fileName, const std::function<bool(QIODevice&)>& write)
{
    if (QFileInfo(fileName).isDir())
        throw EZLT_File(QStringLiteral("Cannot write file '%1': it is a directory").arg(fileName));
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EZLT_File(QStringLiteral("Cannot create file '%1': %2").arg(fileName, file.errorString()));
    const auto fail = [&](const QString& reason) {
        file.cancelWriting();
        throw EZLT_File(QStringLiteral("Cannot write file '%1': %2").arg(fileName, reason));
    };
    if (!write(file) || !file.flush())
        fail(file.errorString());
    // commit() syncs too but ignores a failing sync, and a write error the
    // disk reports only then must not replace the old file.
    if (!CurrentSync(file.handle()))
        fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (!file.commit())
        throw EZLT_File(QStringLiteral("Cannot write file '%1': %2").arg(fileName, file.errorString()));
}

} // namespace ZLT_Files
