#include "ZLT_Files.h"

#include "ZLT_Error.h"
#include "ZLT_FileNames.h"
#include "ZLT_Reasons.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
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

void ReportWritesPastSizeLimit()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

bool FileExists(const QString& fileName)
{
    return ZLT_FileNames::IsFile(fileName);
}

namespace {

QString Reason(int error)
{
    return ZLT_Reasons::Text(error, 0);
}

[[noreturn]] void Fail(const char* what, const QString& fileName, int error)
{
    throw EZLT_File(
        QStringLiteral("Cannot %1 file '%2': %3").arg(QLatin1String(what), fileName, Reason(error)), error);
}


class TFd
{
public:
    explicit TFd(int fd) : FFd(fd) {}
    ~TFd()
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }
    int Release()
    {
        const int fd = FFd;
        FFd = -1;
        return fd;
    }
    // Closes now and reports whether the close succeeded (it may report a write error).
    bool Close()
    {
        const int fd = FFd;
        FFd = -1;
        return ::close(fd) == 0;
    }

private:
    int FFd;
};

// Opens without blocking (a pipe would wait for a writer) and checks on the
// open descriptor, not the name, that it is a regular file; gives its size.
int OpenRegular(const QString& fileName, qint64& size)
{
    const QByteArray path = ZLT_FileNames::Encode(fileName);
    TFd fd(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.Get() < 0)
        Fail("open", fileName, errno);
    struct stat info
    {
    };
    if (::fstat(fd.Get(), &info) != 0)
        Fail("read", fileName, errno);
    if (S_ISDIR(info.st_mode))
        Fail("open", fileName, EISDIR);
    if (!S_ISREG(info.st_mode))
        throw EZLT_File(EZLT_File::TAction::Read, fileName, ZLT_Reasons::NotRegularFile);
    size = qint64(info.st_size);
    return fd.Release();
}

// Reads at most limit bytes (all of it for a negative limit).
QByteArray ReadRegular(const QString& fileName, qint64 limit, bool* cut)
{
    qint64 size = 0;
    const TFd fd(OpenRegular(fileName, size));
    // Files that report no size (as some virtual file systems do) are read
    // to their end, in steps.
    const qint64 want = limit < 0 ? size : std::min(size, limit);
    QByteArray data;
    data.resize(qsizetype(std::max<qint64>(want, 0)));
    qint64 done = 0;
    for (;;) {
        if (done == data.size()) {
            if (size > 0 || (limit >= 0 && done >= limit))
                break;
            qint64 grown = std::max<qint64>(64 * 1024, done * 2);
            if (limit >= 0)
                grown = std::min(grown, limit);
            data.resize(qsizetype(grown));
        }
        const qint64 piece = data.size() - done;
        const ssize_t n = ::read(fd.Get(), data.data() + done, size_t(piece));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail("read", fileName, errno);
        }
        if (n == 0)
            break; // the end, also of a file that shrank while we read it
        done += n;
    }
    data.truncate(qsizetype(done));
    if (cut)
        *cut = limit >= 0 && (size > limit || (size == 0 && done >= limit));
    return data;
}

bool IsMissingOrFolder(const QString& fileName)
{
    struct stat info
    {
    };
    return ::stat(ZLT_FileNames::Encode(fileName).constData(), &info) != 0 || S_ISDIR(info.st_mode);
}

// Creates a new hidden file beside the target (".name<tag><pid>-<n>", with
// the usual permissions 0666 less the umask) and returns its descriptor.
int CreateBeside(const QByteArray& target, const char* tag, const QString& fileName, QByteArray& temp)
{
    static std::atomic<unsigned> counter{0};
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray prefix = target.left(slash + 1) + '.' + target.mid(slash + 1) + tag +
                              QByteArray::number(qint64(::getpid())) + '-';
    for (int attempt = 0;; ++attempt) {
        temp = prefix + QByteArray::number(counter++);
        const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST || attempt > 100)
            Fail("create", fileName, errno);
    }
}

} // namespace

QByteArray ReadWholeFile(const QString& fileName)
{
    return ReadRegular(fileName, -1, nullptr);
}

QByteArray ReadFileHead(const QString& fileName, qint64 limit, bool* cut)
{
    return ReadRegular(fileName, std::max<qint64>(limit, 0), cut);
}

QByteArray ReadFrameFile(const QString& fileName, qint64 limit)
{
    // One stat per file, so a bulk import stays cheap.
    if (IsMissingOrFolder(fileName))
        throw EZLT_Cat_Load(QStringLiteral("File does not exist: '%1'").arg(fileName));
    return ReadRegular(fileName, limit, nullptr);
}

bool StartsWithIlda(const QString& fileName)
{
    try {
        return !IsMissingOrFolder(fileName) && ReadRegular(fileName, 4, nullptr) == "ILDA";
    } catch (const EZLT_Error&) {
        return false;
    }
}

TFileReader::TFileReader(const QString& fileName, qsizetype bufferSize)
    : FFileName(fileName), FCapacity(bufferSize)
{
    if (IsMissingOrFolder(fileName))
        throw EZLT_Cat_Load(QStringLiteral("File does not exist: '%1'").arg(fileName));
    FFd = OpenRegular(fileName, FSize);
    // Never more than the file can fill: small files are common.
    if (FSize > 0)
        FCapacity = qsizetype(std::min<qint64>(FCapacity, std::max<qint64>(FSize, 64 << 10)));
    FBuffer = std::make_unique_for_overwrite<char[]>(size_t(FCapacity));
}

TFileReader::~TFileReader()
{
    ::close(FFd);
}

qsizetype TFileReader::ReadSome(char* target, qsizetype n)
{
    for (;;) {
        const ssize_t got = ::read(FFd, target, size_t(n));
        if (got >= 0)
            return qsizetype(got);
        if (errno != EINTR)
            Fail("read", FFileName, errno);
    }
}

qsizetype TFileReader::Fill(qsizetype n)
{
    n = std::min(n, FCapacity);
    if (FEnd - FStart >= n)
        return n;
    if (FStart > 0) {
        std::memmove(FBuffer.get(), FBuffer.get() + FStart, size_t(FEnd - FStart));
        FEnd -= FStart;
        FStart = 0;
    }
    while (FEnd < n) {
        const qsizetype got = ReadSome(FBuffer.get() + FEnd, FCapacity - FEnd);
        if (got == 0)
            break; // the end, also of a file that shrank while we read it
        FEnd += got;
    }
    return std::min(n, FEnd);
}

qint64 TFileReader::Take(char* target, qint64 n)
{
    const qint64 buffered = std::min<qint64>(n, FEnd - FStart);
    std::memcpy(target, Data(), size_t(buffered));
    Skip(qsizetype(buffered));
    qint64 done = buffered;
    if (done < n && n - done < FCapacity / 2) {
        // A short rest through the buffer, which reads ahead for what follows.
        const qsizetype got = Fill(qsizetype(n - done));
        std::memcpy(target + done, Data(), size_t(got));
        Skip(got);
        return done + got;
    }
    while (done < n) {
        const qsizetype got = ReadSome(target + done, qsizetype(std::min<qint64>(n - done, qint64(1) << 30)));
        if (got == 0)
            break;
        done += got;
        FPosition += got;
    }
    return done;
}

qint64 TByteReader::Take(char* target, qint64 n)
{
    const qsizetype got = Fill(qsizetype(std::min<qint64>(n, FData.size())));
    std::memcpy(target, Data(), size_t(got));
    Skip(got);
    return got;
}

bool WriteVectors(int fd, iovec* iov, int count)
{
    while (count > 0) {
        const ssize_t n = ::writev(fd, iov, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        size_t done = size_t(n);
        while (count > 0 && done >= iov->iov_len) {
            done -= iov->iov_len;
            ++iov;
            --count;
        }
        if (count > 0) {
            iov->iov_base = static_cast<char*>(iov->iov_base) + done;
            iov->iov_len -= done;
        }
    }
    return true;
}

namespace {

bool WriteAll(int fd, const char* data, qsizetype size)
{
    iovec one{const_cast<char*>(data), size_t(size)};
    return ZLT_Files::WriteVectors(fd, &one, 1);
}

} // namespace

void ReplaceFile(const QString& fileName, QByteArrayView bytes)
{
    // A hidden name in the same folder that no "*.pic" search finds, created
    // with the usual permissions (0666 less the umask) as a new file would
    // be. No stat first: a bulk export calls this for every file, and a
    // folder in the target's place makes the rename fail with EISDIR.
    const QByteArray target = ZLT_FileNames::Encode(fileName);
    QByteArray temp;
    const int fd = CreateBeside(target, ".tmp-", fileName, temp);
    TFd file(fd);
    const auto failWith = [&](int error) {
        ::unlink(temp.constData());
        Fail("write", fileName, error);
    };
    if (!WriteAll(file.Get(), bytes.data(), bytes.size()))
        failWith(errno);
    if (!file.Close())
        failWith(errno);
    if (::rename(temp.constData(), target.constData()) != 0)
        failWith(errno);
}

void SyncFolder(const QString& folder)
{
    const TFd fd(::open(ZLT_FileNames::Encode(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() < 0)
        Fail("open", folder, errno);
    if (!CurrentSync(fd.Get())) {
        const int error = errno;
        throw EZLT_File(QStringLiteral("Cannot write folder '%1': %2").arg(folder, Reason(error)), error);
    }
}

void CreateFolder(const QString& folder)
{
    if (::mkdir(ZLT_FileNames::Encode(folder).constData(), 0777) == 0)
        return;
    const int error = errno;
    if (error == EEXIST && ZLT_FileNames::IsDirectory(folder))
        return;
    throw EZLT_File(EZLT_File::TAction::CreateFolder, folder, error);
}

TWriteDevice::TWriteDevice(int fd) : FFd(fd)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 TWriteDevice::readData(char*, qint64)
{
    return -1;
}

void TWriteDevice::Failed(int error)
{
    FErrno = error;
    setErrorString(Reason(error));
}

qint64 TWriteDevice::writeData(const char* data, qint64 size)
{
    if (!WriteAll(FFd, data, qsizetype(size))) {
        Failed(errno);
        return -1;
    }
    return size;
}

namespace {

// Where a write to the name lands: a symbolic link keeps pointing at its
// file, which the new one replaces (also a link to a file not made yet).
QByteArray LinkTarget(QByteArray path)
{
    for (int depth = 0; depth < 40; ++depth) {
        struct stat info
        {
        };
        if (::lstat(path.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            break;
        QByteArray link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.constData(), link.data(), size_t(link.size()));
        if (n <= 0 || n >= link.size())
            break;
        link.truncate(n);
        path = link.startsWith('/') ? link : path.left(path.lastIndexOf('/') + 1) + link;
    }
    return path;
}

} // namespace

void WriteFileAtomically(const QString& fileName, const std::function<bool(TWriteDevice&)>& write)
{
    // Through the name's own bytes: Qt's file classes would lose a name
    // that is not UTF-8.
    const QByteArray target = LinkTarget(ZLT_FileNames::Encode(fileName));
    struct stat info
    {
    };
    const bool exists = ::stat(target.constData(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode))
        throw EZLT_File(EZLT_File::TAction::Write, fileName, EISDIR);
    if (exists && ::access(target.constData(), W_OK) != 0)
        Fail("create", fileName, errno);

    // A hidden name beside the file; an existing file's permissions carry over.
    QByteArray temp;
    const int fd = CreateBeside(target, ".save-", fileName, temp);
    TFd handle(fd);
    // The temporary file goes whatever fails, also in the caller's write.
    struct TRemover
    {
        const QByteArray& Name;
        bool Keep = false;
        ~TRemover()
        {
            if (!Keep)
                ::unlink(Name.constData());
        }
    } remover{temp};
    const auto fail = [&](const QString& reason, int error) {
        throw EZLT_File(QStringLiteral("Cannot write file '%1': %2").arg(fileName, reason), error);
    };
    const auto failWith = [&](int error) { fail(Reason(error), error); };
    if (exists && ::fchmod(fd, info.st_mode & 07777) != 0)
        failWith(errno);
    {
        // Straight to the descriptor: a QFile takes a short write (a full
        // disk) for success and is left with no reason to give.
        TWriteDevice device(fd);
        if (!write(device))
            fail(device.Errno() != 0 ? device.errorString() : QStringLiteral("the data could not be written"),
                 device.Errno());
    }
    // A write error the disk reports only at the sync or the close must not
    // replace the old file.
    if (!CurrentSync(fd))
        failWith(errno);
    if (!handle.Close())
        failWith(errno);
    if (::rename(temp.constData(), target.constData()) != 0)
        failWith(errno);
    remover.Keep = true;
}

void WriteFileAtomically(const QString& fileName, QByteArrayView bytes)
{
    WriteFileAtomically(fileName, [&](TWriteDevice& device) {
        return device.write(bytes.data(), bytes.size()) == bytes.size();
    });
}

} // namespace ZLT_Files
