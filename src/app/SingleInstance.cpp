#include "SingleInstance.h"

#include "ZLT_FileNames.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QLockFile>
#include <QSocketNotifier>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace SingleInstance {

namespace {
constexpr char Magic[4] = {'T', 'R', 'V', 'S'};
constexpr int HeaderBytes = 8;
constexpr int AnswerBytes = 7;
constexpr int MaxConnections = 8;
constexpr int ConnectionTimeoutMs = 5000;
constexpr int RetryMs = 1000;
constexpr size_t MaxSocketPath = sizeof(sockaddr_un::sun_path); // with its closing zero

void AppendU16(QByteArray& data, quint16 value)
{
    const quint16 big = qToBigEndian(value);
    data.append(reinterpret_cast<const char*>(&big), 2);
}

quint16 U16At(QByteArrayView data, qsizetype offset)
{
    return qFromBigEndian<quint16>(data.data() + offset);
}

// A folder only this user can enter: the socket inside needs no further check.
bool PrivateFolder(const QString& folder)
{
    struct stat info
    {
    };
    if (folder.isEmpty() || ::lstat(ZLT_FileNames::Encode(folder).constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

QString DisplayIdentity()
{
    const QString instance = qEnvironmentVariable("TREVASC_INSTANCE");
    if (!instance.isEmpty())
        return QStringLiteral("instance=") + instance;
    QString identity = QStringLiteral("platform=%1;wayland=%2;x11=%3")
                           .arg(qEnvironmentVariable("QT_QPA_PLATFORM"),
                                qEnvironmentVariable("WAYLAND_DISPLAY"), qEnvironmentVariable("DISPLAY"));
    // Without a display, the login session tells desktops apart.
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("DISPLAY"))
        identity += QStringLiteral(";session=") + qEnvironmentVariable("XDG_SESSION_ID");
    return identity;
}

bool Address(const QByteArray& path, sockaddr_un& address)
{
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= MaxSocketPath)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return true;
}

enum class TConnect
{
    Connected,
    Busy,    // the program's queue of connections is full: it lives
    Refused, // a socket nobody listens on
    Missing,
    Failed
};

TConnect Connect(const QByteArray& path, int& fd)
{
    sockaddr_un address;
    if (!Address(path, address))
        return TConnect::Failed;
    fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return TConnect::Failed;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0)
        return TConnect::Connected;
    const int error = errno;
    ::close(fd);
    fd = -1;
    switch (error) {
    case EAGAIN:
        return TConnect::Busy;
    case ECONNREFUSED:
        return TConnect::Refused;
    case ENOENT:
        return TConnect::Missing;
    default:
        return TConnect::Failed;
    }
}

// The waiting start's patience: it says so on the terminal once.
class TPatience
{
public:
    TPatience() { FSince.start(); }
    void Wait(int fd, short events)
    {
        pollfd entry{fd, events, 0};
        if (fd < 0)
            ::poll(nullptr, 0, 20);
        else
            ::poll(&entry, 1, 100);
        if (!FTold && FSince.elapsed() > AnswerTimeoutMs) {
            FTold = true;
            std::fputs("Trevasc: waiting for the running Trevasc to take the files (it may be busy)...\n", stderr);
            std::fflush(stderr);
        }
    }

private:
    QElapsedTimer FSince;
    bool FTold = false;
};

enum class TExchange
{
    Accepted,
    Refused,
    Closed // the program ended the connection before answering
};

TExchange Exchange(int fd, const QByteArray& request, TPatience& patience)
{
    for (qsizetype sent = 0; sent < request.size();) {
        const ssize_t n = ::send(fd, request.constData() + sent, size_t(request.size() - sent), MSG_NOSIGNAL);
        if (n > 0)
            sent += n;
        else if (n < 0 && (errno == EAGAIN || errno == EINTR))
            patience.Wait(fd, POLLOUT);
        else
            return TExchange::Closed;
    }
    char answer[AnswerBytes];
    for (int got = 0; got < AnswerBytes;) {
        const ssize_t n = ::recv(fd, answer + got, size_t(AnswerBytes - got), 0);
        if (n > 0)
            got += int(n);
        else if (n < 0 && (errno == EAGAIN || errno == EINTR))
            patience.Wait(fd, POLLIN);
        else
            return TExchange::Closed;
    }
    if (QByteArrayView(answer, AnswerBytes) != EncodeAnswer(true))
        return TExchange::Refused;
    return ::send(fd, &Confirm, 1, MSG_NOSIGNAL) == 1 ? TExchange::Accepted : TExchange::Closed;
}

// The files in requests that each keep the limits; none when a name cannot
// be sent at all.
QList<QByteArray> Requests(const QStringList& files, QList<int>& counts)
{
    QList<QByteArray> requests;
    for (qsizetype first = 0; first < files.size() || requests.isEmpty();) {
        qsizetype count = std::min<qsizetype>(files.size() - first, MaxFiles);
        QByteArray request;
        for (;; count = count / 2) {
            request = EncodeRequest(files.mid(first, count));
            if (!request.isEmpty() || count <= 1)
                break;
        }
        if (request.isEmpty())
            return {};
        requests << request;
        counts << int(count);
        first += count;
    }
    return requests;
}
} // namespace

QByteArray EncodeRequest(const QStringList& files)
{
    if (files.size() > MaxFiles)
        return QByteArray();
    QByteArray data(Magic, 4);
    AppendU16(data, Version);
    AppendU16(data, quint16(files.size()));
    for (const QString& file : files) {
        const QByteArray path = ZLT_FileNames::Encode(file);
        if (path.isEmpty() || path.size() > MaxPathBytes || !path.startsWith('/') || path.contains('\0'))
            return QByteArray();
        AppendU16(data, quint16(path.size()));
        data += path;
        if (data.size() > MaxRequestBytes)
            return QByteArray();
    }
    return data;
}

TDecode DecodeRequest(QByteArrayView data, QStringList& files)
{
    TRequestReader reader;
    const TDecode result = reader.Add(data);
    files = reader.Files();
    return result;
}

TDecode TRequestReader::Add(QByteArrayView bytes)
{
    if (FState != TDecode::Incomplete || bytes.isEmpty())
        return FState;
    if (FData.size() + bytes.size() > MaxRequestBytes)
        return FState = TDecode::Invalid;
    FData += bytes;
    return FState = Scan();
}

qsizetype TRequestReader::Missing() const
{
    return FState == TDecode::Incomplete ? std::max<qsizetype>(FNeeded - FData.size(), 1) : 0;
}

QStringList TRequestReader::Files() const
{
    QStringList files;
    if (FState != TDecode::Complete)
        return files;
    for (qsizetype offset = HeaderBytes; offset < FData.size();) {
        const int length = U16At(FData, offset);
        files << ZLT_FileNames::Decode(QByteArrayView(FData).sliced(offset + 2, length));
        offset += 2 + length;
    }
    return files;
}

TDecode TRequestReader::Scan()
{
    const qsizetype magicBytes = std::min<qsizetype>(FData.size(), 4);
    if (QByteArrayView(Magic, magicBytes) != QByteArrayView(FData).first(magicBytes))
        return TDecode::Invalid;
    if (FCount < 0) {
        if (FData.size() < HeaderBytes)
            return TDecode::Incomplete;
        if (U16At(FData, 4) != Version || U16At(FData, 6) > MaxFiles)
            return TDecode::Invalid;
        FCount = U16At(FData, 6);
        FScanned = FNeeded = HeaderBytes;
    }
    // Each length field is read once; the path behind it only at the end.
    while (FSeen < FCount) {
        if (FData.size() < FScanned + 2) {
            FNeeded = FScanned + 2;
            return TDecode::Incomplete;
        }
        const int length = U16At(FData, FScanned);
        if (length == 0 || length > MaxPathBytes)
            return TDecode::Invalid;
        if (FData.size() > FScanned + 2)
            if (FData[FScanned + 2] != '/')
                return TDecode::Invalid;
        FScanned += 2 + length;
        FNeeded = FScanned;
        ++FSeen;
        if (FNeeded > MaxRequestBytes)
            return TDecode::Invalid;
    }
    if (FData.size() < FNeeded)
        return TDecode::Incomplete;
    if (FData.size() > FNeeded)
        return TDecode::Invalid; // bytes beyond the request
    for (qsizetype offset = HeaderBytes; offset < FData.size();) {
        const int length = U16At(FData, offset);
        const QByteArrayView path = QByteArrayView(FData).sliced(offset + 2, length);
        if (path[0] != '/' || path.contains('\0'))
            return TDecode::Invalid;
        offset += 2 + length;
    }
    return TDecode::Complete;
}

QByteArray EncodeAnswer(bool accepted)
{
    QByteArray data(Magic, 4);
    AppendU16(data, Version);
    data.append(char(accepted ? 0 : 1));
    return data;
}

QString ServerName()
{
    const QByteArray hash = QCryptographicHash::hash(DisplayIdentity().toUtf8(), QCryptographicHash::Sha256);
    const QString file = QStringLiteral("/trevasc-") + QString::fromLatin1(hash.toHex().left(16));
    const QString runtime = ZLT_FileNames::Decode(qgetenv("XDG_RUNTIME_DIR"));
    const QString own = QStringLiteral("/trevasc-%1").arg(::geteuid());
    // The runtime folder, else a private folder in the temporary folder; a
    // socket's path must fit its address.
    for (const QString& folder : {runtime, QDir::tempPath() + own, QStringLiteral("/tmp") + own}) {
        if (folder.isEmpty() || size_t(ZLT_FileNames::Encode(folder + file).size()) >= MaxSocketPath)
            continue;
        if (folder != runtime)
            ::mkdir(ZLT_FileNames::Encode(folder).constData(), 0700);
        if (PrivateFolder(folder))
            return folder + file;
    }
    return QString();
}

THandOver HandOver(const QString& serverName, const QStringList& files, int* handedOver)
{
    if (handedOver)
        *handedOver = 0;
    QList<int> counts;
    const QList<QByteArray> requests = Requests(files, counts);
    if (requests.isEmpty())
        return THandOver::Refused;
    const QByteArray path = ZLT_FileNames::Encode(serverName);
    TPatience patience;
    for (qsizetype i = 0; i < requests.size(); ++i) {
        for (;;) {
            int fd = -1;
            const TConnect connection = Connect(path, fd);
            if (connection == TConnect::Busy) {
                patience.Wait(-1, 0);
                continue;
            }
            if (connection != TConnect::Connected)
                return THandOver::NoServer;
            const TExchange result = Exchange(fd, requests[i], patience);
            ::close(fd);
            if (result == TExchange::Refused)
                return THandOver::Refused;
            if (result == TExchange::Accepted)
                break;
            // Closed unanswered: ask again while the program lives.
            patience.Wait(-1, 0);
        }
        if (handedOver)
            *handedOver += counts[i];
    }
    return THandOver::Accepted;
}

// One second start being served: reads its request, answers, waits for
// the confirmation; gives up on anything else or after a few seconds.
class TServer::TConnection : public QObject
{
public:
    TConnection(TServer* server, QLocalSocket* socket) : QObject(server), FServer(server), FSocket(socket)
    {
        socket->setParent(this);
        connect(socket, &QLocalSocket::readyRead, this, &TConnection::Read);
        connect(socket, &QLocalSocket::disconnected, this, &TConnection::Close);
        QTimer::singleShot(ConnectionTimeoutMs, this, &TConnection::Close);
        ++FServer->FConnections;
        Read();
    }
    ~TConnection() override { FServer->ConnectionEnded(); }

private:
    void Read()
    {
        if (FDone)
            return;
        if (!FAnswered) {
            TDecode state = TDecode::Incomplete;
            while (state == TDecode::Incomplete) {
                const QByteArray bytes = FSocket->read(FReader.Missing());
                if (bytes.isEmpty())
                    break;
                state = FReader.Add(bytes);
            }
            if (state == TDecode::Incomplete)
                return;
            const bool accepted = state == TDecode::Complete && (!FServer->FAccepting || FServer->FAccepting());
            FSocket->write(EncodeAnswer(accepted));
            FSocket->flush();
            if (!accepted) {
                Close();
                return;
            }
            FAnswered = true;
        }
        if (FSocket->bytesAvailable() < 1)
            return;
        char byte = 0;
        FSocket->getChar(&byte);
        const QStringList files = FReader.Files();
        Close();
        if (byte == Confirm)
            emit FServer->FilesReceived(files);
    }

    void Close()
    {
        if (FDone)
            return;
        FDone = true;
        FSocket->disconnect(this);
        FSocket->abort();
        deleteLater();
    }

    TServer* FServer;
    QLocalSocket* FSocket;
    TRequestReader FReader;
    bool FAnswered = false;
    bool FDone = false;
};

TServer::TServer(QObject* parent) : QObject(parent)
{
    FRetry.setInterval(RetryMs);
    connect(&FRetry, &QTimer::timeout, this, &TServer::RetryWhenFree);
}

TServer::~TServer()
{
    // The connections go first: they count themselves out here.
    const auto connections = findChildren<TConnection*>(Qt::FindDirectChildrenOnly);
    for (TConnection* connection : connections)
        delete connection;
    if (FFd < 0)
        return;
    delete std::exchange(FNotifier, nullptr);
    ::close(FFd);
    // Only while the name is still this server's socket.
    const QByteArray path = ZLT_FileNames::Encode(FName);
    struct stat info
    {
    };
    if (::lstat(path.constData(), &info) == 0 && info.st_dev == FDevice && info.st_ino == FInode)
        ::unlink(path.constData());
}

bool TServer::Listen(const QString& serverName)
{
    if (FFd >= 0 || serverName.isEmpty())
        return false;
    FName = serverName;
    return Bind();
}

// Binds the name, or takes it over from a socket nobody listens on; a live
// program's socket is left alone, and taken once it is gone.
bool TServer::Bind()
{
    const QByteArray path = ZLT_FileNames::Encode(FName);
    sockaddr_un address;
    if (!Address(path, address))
        return false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return false;
        struct stat info
        {
        };
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
            ::listen(fd, SOMAXCONN) == 0 && ::lstat(path.constData(), &info) == 0) {
            FFd = fd;
            FDevice = info.st_dev;
            FInode = info.st_ino;
            FRetry.stop();
            // Not a child: the server's children are its connections.
            FNotifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read);
            connect(FNotifier, &QSocketNotifier::activated, this, &TServer::Accept);
            return true;
        }
        const int error = errno;
        ::close(fd);
        if (error != EADDRINUSE)
            return false;
        // Someone's socket has the name: whose?
        struct stat before
        {
        };
        if (::lstat(path.constData(), &before) != 0)
            continue;
        int probe = -1;
        switch (Connect(path, probe)) {
        case TConnect::Connected:
            ::close(probe);
            [[fallthrough]];
        case TConnect::Busy:
            FRetry.start(); // a live program: the name is its own
            return false;
        case TConnect::Refused:
            // Left by a program that crashed; unless replaced meanwhile.
            if (::lstat(path.constData(), &info) == 0 && S_ISSOCK(info.st_mode) && info.st_ino == before.st_ino &&
                info.st_dev == before.st_dev)
                ::unlink(path.constData());
            continue;
        case TConnect::Missing:
            continue;
        case TConnect::Failed:
            return false;
        }
    }
    return false;
}

void TServer::RetryWhenFree()
{
    struct stat info
    {
    };
    if (::lstat(ZLT_FileNames::Encode(FName).constData(), &info) != 0 && errno == ENOENT)
        Bind();
}

void TServer::Accept()
{
    while (FConnections < MaxConnections) {
        const int fd = ::accept4(FFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            break;
        auto* socket = new QLocalSocket;
        if (!socket->setSocketDescriptor(qintptr(fd))) {
            ::close(fd);
            delete socket;
            continue;
        }
        new TConnection(this, socket);
    }
    // At the limit, later starts wait in the queue until a connection ends.
    FNotifier->setEnabled(FConnections < MaxConnections);
}

void TServer::ConnectionEnded()
{
    --FConnections;
    if (FNotifier)
        FNotifier->setEnabled(true);
}

TStart::TStart() = default;
TStart::~TStart() = default;

bool TStart::HandOver(QStringList& files)
{
    FName = ServerName();
    if (FName.isEmpty())
        return false;
    FLock = std::make_unique<QLockFile>(FName + QStringLiteral(".lock"));
    FLock->setStaleLockTime(0); // stale only when its program is gone
    if (!FLock->tryLock(3 * AnswerTimeoutMs))
        FLock.reset(); // a start that hangs: go on without the lock
    int handedOver = 0;
    const THandOver result = SingleInstance::HandOver(FName, files, &handedOver);
    files = files.mid(handedOver);
    return result == THandOver::Accepted;
}

bool TStart::Serve(TServer& server)
{
    const bool listening = server.Listen(FName);
    FLock.reset();
    return listening;
}

} // namespace SingleInstance
