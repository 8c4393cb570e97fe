#include "ZLT_Files.h"

#include "ZLT_Error.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

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

QByteArray ReadWholeFile(const QString& fileName)
{
    // A device or pipe never ends (or blocks on open): only plain files are read.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile())
        throw EZLT_File(QStringLiteral("Cannot read file '%1': it is not a regular file").arg(fileName));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EZLT_File(QStringLiteral("Cannot open file '%1': %2").arg(fileName, file.errorString()));

    QByteArray data;
    const qint64 size = file.size();
    if (size > 0 && !file.isSequential()) {
        data.resize(size);
        qint64 done = 0;
        while (done < size) {
            const qint64 n = file.read(data.data() + done, size - done);
            if (n < 0)
                throw EZLT_File(
                    QStringLiteral("Cannot read file '%1': %2").arg(fileName, file.errorString()));
            if (n == 0)
                break; // the file shrank while we read it
            done += n;
        }
        data.truncate(done);
    }
    // Whatever the size said, read on to the real end.
    const QByteArray rest = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EZLT_File(QStringLiteral("Cannot read file '%1': %2").arg(fileName, file.errorString()));
    data.append(rest);
    return data;
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
