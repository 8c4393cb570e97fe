#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// One Trevasc per user and display: a second start hands its files to the
// running program over a local socket and ends.
//
// The exchange, all numbers big-endian:
//   request  "TRVS", version (u16, 1), file count (u16), then per file its
//            length in bytes (u16) and its absolute path in UTF-8
//   answer   "TRVS", version (u16, 1), status (u8: 0 accepted, 1 refused)
//   confirm  one byte 0x01, sent once the answer arrived
// The running program opens the files only after the confirmation, so a
// start that gave up waiting and opens them itself never has them opened
// twice.
namespace SingleInstance {

constexpr quint16 Version = 1;
constexpr int MaxFiles = 1024;
constexpr int MaxPathBytes = 4096;
constexpr int MaxRequestBytes = 1 << 20;
constexpr int AnswerTimeoutMs = 1000;
constexpr char Confirm = '\x01';

// The request for these files; empty when they do not fit the limits.
QByteArray EncodeRequest(const QStringList& files);

enum class TDecode
{
    Incomplete, // more bytes may make it whole
    Complete,
    Invalid // wrong magic or version, a limit broken, a path not absolute UTF-8
};
TDecode DecodeRequest(QByteArrayView data, QStringList& files);

QByteArray EncodeAnswer(bool accepted);

// The socket's full path: in the user's private runtime folder, named from
// what tells the desktops apart (the platform and display variables, or
// TREVASC_INSTANCE when set, as tests and benchmarks do). Empty when no
// private folder can be had: then every start is a program of its own.
QString ServerName();

enum class THandOver
{
    Accepted,
    NoServer, // nobody listens: none runs, or a crashed one left its socket
    NoAnswer, // connected, but no answer in time
    Refused,  // a program that speaks another version, or limits broken
};
THandOver HandOver(const QString& serverName, const QStringList& files, int timeoutMs = AnswerTimeoutMs);

// The running program's end: takes requests, answers them and reports the
// confirmed ones.
class TServer : public QObject
{
    Q_OBJECT

public:
    explicit TServer(QObject* parent = nullptr);
    ~TServer() override;

    bool Listen(const QString& serverName);
    QString FullServerName() const { return FServer.fullServerName(); }

signals:
    // A second start's files, after its confirmation (none: it only asks
    // for the window). Delivered from the event loop.
    void FilesReceived(const QStringList& files);

private:
    class TConnection;
    void Accept();

    QLocalServer FServer;
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

    // True when a running program took the files: this start is done.
    // Otherwise a socket left behind by a program that crashed or does not
    // answer is removed, so it never blocks this start.
    bool HandOver(const QStringList& files);

    // Starts serving under the name looked at; false when that fails (the
    // program then runs on its own).
    bool Serve(TServer& server);

private:
    QString FName;
    std::unique_ptr<QLockFile> FLock;
};

} // namespace SingleInstance
