#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QStringDecoder>
#include <QTimer>
#include <QtEndian>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace SingleInstance {

namespace {
constexpr char Magic[4] = {'T', 'R', 'V', 'S'};
constexpr int HeaderBytes = 8;
constexpr int AnswerBytes = 7;
constexpr int MaxConnections = 8;
constexpr int ConnectionTimeoutMs = 5000;

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
    if (folder.isEmpty() || ::lstat(QFile::encodeName(folder).constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

QString RuntimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (PrivateFolder(runtime))
        return runtime;
    const QString folder = QDir::tempPath() + QStringLiteral("/trevasc-%1").arg(::geteuid());
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    return PrivateFolder(folder) ? folder : QString();
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
} // namespace

QByteArray EncodeRequest(const QStringList& files)
{
    if (files.size() > MaxFiles)
        return QByteArray();
    QByteArray data(Magic, 4);
    AppendU16(data, Version);
    AppendU16(data, quint16(files.size()));
    for (const QString& file : files) {
        const QByteArray path = file.toUtf8();
        if (path.isEmpty() || path.size() > MaxPathBytes || !file.startsWith(QLatin1Char('/')) ||
            file.contains(QChar(0)))
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
    files.clear();
    if (data.size() > MaxRequestBytes)
        return TDecode::Invalid;
    const qsizetype magicBytes = std::min<qsizetype>(data.size(), 4);
    if (QByteArrayView(Magic, magicBytes) != data.first(magicBytes))
        return TDecode::Invalid;
    if (data.size() < HeaderBytes)
        return TDecode::Incomplete;
    if (U16At(data, 4) != Version)
        return TDecode::Invalid;
    const int count = U16At(data, 6);
    if (count > MaxFiles)
        return TDecode::Invalid;
    qsizetype offset = HeaderBytes;
    QStringList found;
    for (int i = 0; i < count; ++i) {
        if (data.size() < offset + 2)
            return TDecode::Incomplete;
        const int length = U16At(data, offset);
        offset += 2;
        if (length == 0 || length > MaxPathBytes)
            return TDecode::Invalid;
        if (data.size() < offset + length)
            return TDecode::Incomplete;
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString path = utf8(data.sliced(offset, length));
        offset += length;
        if (utf8.hasError() || !path.startsWith(QLatin1Char('/')) || path.contains(QChar(0)))
            return TDecode::Invalid;
        found << path;
    }
    if (data.size() != offset)
        return TDecode::Invalid; // bytes beyond the request
    files = std::move(found);
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
    const QString folder = RuntimeFolder();
    if (folder.isEmpty())
        return QString();
    const QByteArray hash = QCryptographicHash::hash(DisplayIdentity().toUtf8(), QCryptographicHash::Sha256);
    return folder + QStringLiteral("/trevasc-") + QString::fromLatin1(hash.toHex().left(16));
}

THandOver HandOver(const QString& serverName, const QStringList& files, int timeoutMs)
{
    const QByteArray request = EncodeRequest(files);
    if (request.isEmpty())
        return THandOver::Refused;
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return socket.error() == QLocalSocket::SocketTimeoutError ? THandOver::NoAnswer : THandOver::NoServer;
    socket.write(request);
    QByteArray answer;
    while (answer.size() < AnswerBytes) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return socket.state() == QLocalSocket::ConnectedState || deadline.hasExpired()
                       ? THandOver::NoAnswer
                       : THandOver::Refused;
        answer += socket.read(AnswerBytes - answer.size());
    }
    if (answer != EncodeAnswer(true))
        return THandOver::Refused;
    socket.write(&Confirm, 1);
    socket.waitForBytesWritten(AnswerTimeoutMs);
    socket.disconnectFromServer();
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
    ~TConnection() override { --FServer->FConnections; }

private:
    void Read()
    {
        if (FDone)
            return;
        if (!FAnswered) {
            FBuffer += FSocket->read(MaxRequestBytes + 1 - FBuffer.size());
            switch (DecodeRequest(FBuffer, FFiles)) {
            case TDecode::Incomplete:
                return;
            case TDecode::Invalid:
                FSocket->write(EncodeAnswer(false));
                FSocket->flush();
                Close();
                return;
            case TDecode::Complete:
                FAnswered = true;
                FSocket->write(EncodeAnswer(true));
                FSocket->flush();
                break;
            }
        }
        if (FSocket->bytesAvailable() < 1)
            return;
        char byte = 0;
        FSocket->getChar(&byte);
        if (byte == Confirm) {
            // Reported from the event loop: opening files may show dialogs.
            QTimer::singleShot(0, FServer,
                               [server = FServer, files = FFiles] { emit server->FilesReceived(files); });
        }
        Close();
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
    QByteArray FBuffer;
    QStringList FFiles;
    bool FAnswered = false;
    bool FDone = false;
};

TServer::TServer(QObject* parent) : QObject(parent)
{
    connect(&FServer, &QLocalServer::newConnection, this, &TServer::Accept);
}

TServer::~TServer()
{
    // The connections go first: they count themselves out here.
    const auto connections = findChildren<TConnection*>(Qt::FindDirectChildrenOnly);
    for (TConnection* connection : connections)
        delete connection;
    FServer.close();
}

bool TServer::Listen(const QString& serverName)
{
    FServer.setSocketOptions(QLocalServer::UserAccessOption);
    return !serverName.isEmpty() && FServer.listen(serverName);
}

void TServer::Accept()
{
    while (QLocalSocket* socket = FServer.nextPendingConnection()) {
        if (FConnections >= MaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        new TConnection(this, socket);
    }
}

TStart::TStart() = default;
TStart::~TStart() = default;

bool TStart::HandOver(const QStringList& files)
{
    FName = ServerName();
    if (FName.isEmpty())
        return false;
    FLock = std::make_unique<QLockFile>(FName + QStringLiteral(".lock"));
    FLock->setStaleLockTime(0); // stale only when its program is gone
    if (!FLock->tryLock(3 * AnswerTimeoutMs))
        FLock.reset(); // a start that hangs: go on without the lock
    switch (SingleInstance::HandOver(FName, files)) {
    case THandOver::Accepted:
        return true;
    case THandOver::NoServer:
    case THandOver::NoAnswer:
        QLocalServer::removeServer(FName);
        return false;
    case THandOver::Refused:
        return false;
    }
    return false;
}

bool TStart::Serve(TServer& server)
{
    const bool listening = server.Listen(FName);
    FLock.reset();
    return listening;
}

} // namespace SingleInstance
