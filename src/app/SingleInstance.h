#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

#include <sys/types.h>

class QLockFile;
class QSocketNotifier;

// One Trevasc per user and display: a second start hands its files to the
// running program over a local socket and ends.
//
// The exchange, all numbers big-endian:
//   request  "TRVS", version (u16, 1), file count (u16), then per file its
//            length in bytes (u16) and its absolute path: the name's bytes
//            as they are, not necessarily UTF-8
//   answer   "TRVS", version (u16, 1), status (u8: 0 accepted, 1 refused)
//   confirm  one byte 0x01, sent once the answer arrived
// The running program opens the files only after the confirmation, so a
// start that gave up waiting and opens them itself never has them opened
// twice. More files than one request holds go in several requests.
namespace SingleInstance {

constexpr quint16 Version = 1;
constexpr int MaxFiles = 1024;
constexpr int MaxPathBytes = 4096;
constexpr int MaxRequestBytes = 1 << 20;
constexpr int AnswerTimeoutMs = 1000; // the waiting start tells the user after this
constexpr char Confirm = '\x01';

// The request for these files; empty when they do not fit the limits.
QByteArray EncodeRequest(const QStringList& files);

enum class TDecode
{
    Incomplete, // more bytes may make it whole
    Complete,
    Invalid // wrong magic or version, a limit broken, a path not absolute
};
TDecode DecodeRequest(QByteArrayView data, QStringList& files);

// Reads a request as its bytes arrive: each byte is looked at once, and the
// paths are decoded only when the request is whole, so a client that sends
// a byte at a time costs no more than one that sends it all at once.
class TRequestReader
{
public:
    // Takes the next bytes (at most what is still missing, see Missing).
    TDecode Add(QByteArrayView bytes);
    // Bytes the request still needs at least (0 once complete or invalid).
    qsizetype Missing() const;
    // The files, once Add returned Complete.
    QStringList Files() const;

private:
    TDecode Scan();

    QByteArray FData;
    qsizetype FScanned = 0; // where the next unread length field starts
    int FCount = -1;        // files announced; -1 before the header
    int FSeen = 0;          // paths whose length was read
    qsizetype FNeeded = 8;  // the request's size as far as known
    TDecode FState = TDecode::Incomplete;
};

QByteArray EncodeAnswer(bool accepted);

// The socket's full path: in the user's private runtime folder, named from
// what tells the desktops apart (the platform and display variables, or
// TREVASC_INSTANCE when set, as tests and benchmarks do); in a private
// folder in /tmp when there is no runtime folder or a socket's path there
// would be too long. Empty when no private folder can be had: then every
// start is a program of its own.
QString ServerName();

enum class THandOver
{
    Accepted,
    NoServer, // nobody listens: none runs, or a crashed one left its socket
    Refused,  // the program refused (it is ending, or speaks another version), or limits broken
};
// Hands the files over and waits for the answer as long as the running
// program keeps the connection open (a busy or stopped program answers
// late), telling the user on standard error once it takes longer than
// AnswerTimeoutMs. *handedOver (when given) counts the files the program
// took: fewer than all when it began to end halfway.
THandOver HandOver(const QString& serverName, const QStringList& files, int* handedOver = nullptr);

// The running program's end: takes requests, answers them and reports the
// confirmed ones.
class TServer : public QObject
{
    Q_OBJECT

public:
    explicit TServer(QObject* parent = nullptr);
    ~TServer() override; // removes the socket while it is still this server's

    // Serves under the name unless a live program does: a socket nobody
    // listens on is taken over. When a live program has the name, this one
    // takes it once that program has ended and removed it.
    bool Listen(const QString& serverName);
    bool IsListening() const { return FFd >= 0; }
    QString FullServerName() const { return FName; }

    // Asked before each request is accepted; false refuses it (the program
    // is ending). Accepts all while unset.
    void SetAccepting(std::function<bool()> accepting) { FAccepting = std::move(accepting); }

signals:
    // A second start's files, after its confirmation (none: it only asks
    // for the window). Emitted from the socket's handler: receivers keep
    // the files and open them from the event loop.
    void FilesReceived(const QStringList& files);

private:
    class TConnection;
    bool Bind();
    void Accept();
    void ConnectionEnded();
    void RetryWhenFree();

    QString FName;
    int FFd = -1;
    dev_t FDevice = 0;
    ino_t FInode = 0;
    QSocketNotifier* FNotifier = nullptr;
    QTimer FRetry;
    std::function<bool()> FAccepting;
    int FConnections = 0;
};

// The start of a program: looks for a running one and hands it the files,
// or becomes the one that runs. Between the look and Serve it holds a lock,
// so two programs started at once don't both become the server.
class TStart
{
public:
    TStart();
    ~TStart();

    // True when a running program took all the files: this start is done.
    // Files it took are removed from the list when it refused the rest.
    bool HandOver(QStringList& files);

    // Starts serving under the name looked at; false when a live program
    // has it (this one takes it when that one has ended) or it cannot be had.
    bool Serve(TServer& server);

private:
    QString FName;
    std::unique_ptr<QLockFile> FLock;
};

} // namespace SingleInstance
