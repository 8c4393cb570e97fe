// One program per desktop: the exchange's limits, and the real program
// started beside this test, which plays the running program or a second
// start: files handed over by kind, a start without files, a socket left by
// a crashed program, a running program that is stopped, busy or full, a
// program that is ending, file names that are not UTF-8, long runtime
// folders, slow clients, and --new-instance.

#include "FileOpener.h"
#include "ShellTestKit.h"
#include "SingleInstance.h"
#include "ZLT_FileNames.h"

#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include <csignal>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace ShellTestKit;
using SingleInstance::TDecode;

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void decode_data();
    void decode();
    void everyCutIsIncomplete();
    void byteByByte();
    void encodeRefusesWhatCannotBeSent_data();
    void encodeRefusesWhatCannotBeSent();
    void namePerDisplay();

    void secondStartHandsOver_data();
    void secondStartHandsOver();
    void staleSocketNeverBlocks();
    void liveProgramKeepsItsName_data();
    void liveProgramKeepsItsName();
    void endingProgramLeavesAnothersSocket();
    void handOverWhileEnding_data();
    void handOverWhileEnding();
    void nameBytesTravelUnchanged_data();
    void nameBytesTravelUnchanged();
    void longRuntimeFolder_data();
    void longRuntimeFolder();
    void slowClientsCostNoCore();
    void newInstanceStartsItsOwn();

private:
    // The real program, in the test's folder, for this run's server name.
    QProcess* Start(const QStringList& arguments);
    // Waits for a line the program reports ("shown"), turning the event loop.
    bool WaitFor(QProcess* program, const QByteArray& line);
    // Waits for text on the program's standard error.
    bool WaitForError(QProcess* program, const QByteArray& text);
    // This test process as the running program.
    void Serve();

    QTemporaryDir FDir;
    QString FInstance;
    QList<QProcess*> FPrograms;
    std::unique_ptr<SingleInstance::TServer> FServer;
    QList<QStringList> FReceived;
    QStringList FMessages;
    QByteArray FRuntime; // XDG_RUNTIME_DIR as the test found it
    QByteArray FErrors;  // standard error seen by WaitForError
};

namespace {
// Hands over until a program that is still starting takes the files; a
// hand-over that succeeds happens exactly once.
bool HandedOver(const QString& name, const QStringList& files)
{
    QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        if (SingleInstance::HandOver(name, files) == SingleInstance::THandOver::Accepted)
            return true;
        QTest::qWait(20);
    }
    return false;
}

// A client's end of a connection to the server, -1 when none answers.
int ConnectTo(const QString& name)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(name);
    std::memcpy(address.sun_path, path.constData(), std::min(size_t(path.size()), sizeof(address.sun_path) - 1));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0)
        return fd;
    ::close(fd);
    return -1;
}

ino_t Inode(const QString& name)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(name).constData(), &info) == 0 ? info.st_ino : 0;
}

// A program's processor time in nanoseconds, all its threads together.
qint64 ProcessorNs(qint64 pid)
{
    qint64 total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (stat.open(QIODevice::ReadOnly))
            total += stat.readAll().split(' ').value(0).toLongLong();
    }
    return total;
}

QByteArray Request(quint16 version, quint16 count, const QList<QByteArray>& paths,
                   const QByteArray& magic = "TRVS")
{
    QByteArray data = magic;
    const auto u16 = [&data](quint16 v) {
        const quint16 big = qToBigEndian(v);
        data.append(reinterpret_cast<const char*>(&big), 2);
    };
    u16(version);
    u16(count);
    for (const QByteArray& path : paths) {
        u16(quint16(path.size()));
        data += path;
    }
    return data;
}
} // namespace

void TestSingleInstance::init()
{
    TZLT_Cat().SaveToFile(FDir.filePath(QStringLiteral("x.cat")));
    static int run = 0;
    FInstance = QStringLiteral("test-%1-%2").arg(QCoreApplication::applicationPid()).arg(++run);
    qputenv("TREVASC_INSTANCE", FInstance.toUtf8());
    FReceived.clear();
    FMessages.clear();
    FErrors.clear();
    FRuntime = qgetenv("XDG_RUNTIME_DIR");
}

void TestSingleInstance::cleanup()
{
    for (QProcess* program : std::as_const(FPrograms)) {
        ::kill(pid_t(program->processId()), SIGCONT);
        program->kill();
        program->waitForFinished(30000);
        delete program;
    }
    FPrograms.clear();
    FServer.reset();
    if (MainForm)
        EndProgram();
    // Killed programs leave their sockets behind.
    QLocalServer::removeServer(SingleInstance::ServerName());
    QFile::remove(SingleInstance::ServerName() + QStringLiteral(".lock"));
    qunsetenv("TREVASC_INSTANCE");
    if (FRuntime.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", FRuntime);
}

void TestSingleInstance::decode_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("files");

    const QStringList none;
    const int complete = int(TDecode::Complete), invalid = int(TDecode::Invalid);
    QTest::newRow("two files") << Request(1, 2, {"/a.cat", "/b c/\xc3\xbc.pic"}) << complete
                               << QStringList{"/a.cat", QStringLiteral("/b c/ü.pic")};
    QTest::newRow("no files: raise the window") << Request(1, 0, {}) << complete << none;
    QTest::newRow("what EncodeRequest makes") << SingleInstance::EncodeRequest({"/x/1.cat", "/y/2.ild"})
                                              << complete << QStringList{"/x/1.cat", "/y/2.ild"};
    QTest::newRow("wrong magic") << Request(1, 0, {}, "TRVX") << invalid << none;
    QTest::newRow("wrong magic, early") << QByteArray("GET / HTTP") << invalid << none;
    QTest::newRow("other version") << Request(2, 1, {"/a.cat"}) << invalid << none;
    QTest::newRow("too many files") << Request(1, SingleInstance::MaxFiles + 1, {}) << invalid << none;
    QTest::newRow("empty path") << Request(1, 1, {""}) << invalid << none;
    QTest::newRow("path too long") << Request(1, 1, {"/" + QByteArray(SingleInstance::MaxPathBytes, 'a')})
                                   << invalid << none;
    QTest::newRow("longest path") << Request(1, 1, {"/" + QByteArray(SingleInstance::MaxPathBytes - 1, 'a')})
                                  << complete
                                  << QStringList{"/" + QString(SingleInstance::MaxPathBytes - 1, 'a')};
    QTest::newRow("relative path") << Request(1, 1, {"a.cat"}) << invalid << none;
    QTest::newRow("not UTF-8: the bytes as they are")
        << Request(1, 1, {"/\xff\xfe.cat"}) << complete << QStringList{ZLT_FileNames::Decode("/\xff\xfe.cat")};
    QTest::newRow("zero byte") << Request(1, 1, {QByteArray("/a\0b.cat", 8)}) << invalid << none;
    QTest::newRow("bytes after the request") << Request(1, 1, {"/a.cat"}) + "x" << invalid << none;
    QTest::newRow("count larger than the paths")
        << Request(1, 3, {"/a.cat", "/b.cat"}) << int(TDecode::Incomplete) << none;
    QTest::newRow("larger than any request")
        << Request(1, 1, {"/a.cat"}) + QByteArray(SingleInstance::MaxRequestBytes, 'x') << invalid << none;
}

void TestSingleInstance::decode()
{
    QFETCH(QByteArray, data);
    QFETCH(int, result);
    QFETCH(QStringList, files);
    QStringList decoded{"left over"};
    QCOMPARE(int(SingleInstance::DecodeRequest(data, decoded)), result);
    QCOMPARE(decoded, files);
}

void TestSingleInstance::everyCutIsIncomplete()
{
    // A request read in pieces is never mistaken for a whole or a broken one.
    const QByteArray whole =
        SingleInstance::EncodeRequest({"/a/b.cat", QStringLiteral("/ö/ß.pic"), "/c.ild"});
    QStringList files;
    for (qsizetype n = 0; n < whole.size(); ++n)
        QCOMPARE(int(SingleInstance::DecodeRequest(whole.first(n), files)), int(TDecode::Incomplete));
    QCOMPARE(int(SingleInstance::DecodeRequest(whole, files)), int(TDecode::Complete));
    QCOMPARE(files.size(), 3);
}

void TestSingleInstance::byteByByte()
{
    // A client that sends a byte at a time: the request is whole once, at
    // its last byte, and the reader never asks for more than is missing.
    const QStringList files{"/a/b.cat", ZLT_FileNames::Decode("/\xe4/\xff.pic")};
    const QByteArray whole = SingleInstance::EncodeRequest(files);
    SingleInstance::TRequestReader reader;
    for (qsizetype n = 0; n + 1 < whole.size(); ++n) {
        QVERIFY(reader.Missing() >= 1 && reader.Missing() <= whole.size() - n);
        QCOMPARE(int(reader.Add(whole.sliced(n, 1))), int(TDecode::Incomplete));
    }
    QCOMPARE(int(reader.Add(whole.last(1))), int(TDecode::Complete));
    QCOMPARE(reader.Missing(), 0);
    QCOMPARE(reader.Files(), files);
    QCOMPARE(ZLT_FileNames::Encode(reader.Files()[1]), QByteArray("/\xe4/\xff.pic"));
}

void TestSingleInstance::encodeRefusesWhatCannotBeSent_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::newRow("relative") << QStringList{"/a.cat", "b.cat"};
    QTest::newRow("empty") << QStringList{QString()};
    QTest::newRow("path too long") << QStringList{"/" + QString(SingleInstance::MaxPathBytes, 'a')};
    QStringList many;
    for (int i = 0; i <= SingleInstance::MaxFiles; ++i)
        many << QStringLiteral("/%1.cat").arg(i);
    QTest::newRow("too many") << many;
    QStringList large;
    for (int i = 0; i < 600; ++i)
        large << "/" + QString(2000, 'a');
    QTest::newRow("too large together") << large;
}

void TestSingleInstance::encodeRefusesWhatCannotBeSent()
{
    QFETCH(QStringList, files);
    QVERIFY(SingleInstance::EncodeRequest(files).isEmpty());
}

void TestSingleInstance::namePerDisplay()
{
    // Tests and benchmarks name their own; otherwise the display decides.
    const QString own = SingleInstance::ServerName();
    QVERIFY(!own.isEmpty());
    qunsetenv("TREVASC_INSTANCE");
    QStringList names;
    for (const char* display : {":0", ":1", ":0"}) {
        qputenv("DISPLAY", display);
        names << SingleInstance::ServerName();
    }
    qputenv("TREVASC_INSTANCE", FInstance.toUtf8());
    QVERIFY(names[0] != names[1]);
    QCOMPARE(names[0], names[2]);
    QVERIFY(!names.contains(own));
    // In a folder of this user's only.
    QFileInfo folder(QFileInfo(own).absolutePath());
    QCOMPARE(folder.ownerId(), ::geteuid());
    QCOMPARE(int(folder.permissions() &
                 (QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther |
                  QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup)),
             0);
    QVERIFY(QFileInfo(own).fileName().startsWith(QStringLiteral("trevasc-")));
}

QProcess* TestSingleInstance::Start(const QStringList& arguments)
{
    auto* program = new QProcess;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("TREVASC_INSTANCE"), FInstance);
    environment.insert(QStringLiteral("TREVASC_REPORT"), QStringLiteral("1"));
    program->setProcessEnvironment(environment);
    program->setWorkingDirectory(FDir.path());
    program->setProcessChannelMode(QProcess::SeparateChannels);
    program->start(QStringLiteral(TREVASC_PROGRAM), arguments);
    FPrograms << program;
    return program;
}

bool TestSingleInstance::WaitFor(QProcess* program, const QByteArray& line)
{
    // The program's own pace: generous, only to end a test that hangs.
    QByteArray seen;
    QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        seen += program->readAllStandardOutput();
        if (seen.split('\n').contains(line))
            return true;
        if (program->state() == QProcess::NotRunning)
            return false;
        QTest::qWait(10);
    }
    return false;
}

bool TestSingleInstance::WaitForError(QProcess* program, const QByteArray& text)
{
    QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        FErrors += program->readAllStandardError();
        if (FErrors.contains(text))
            return true;
        if (program->state() == QProcess::NotRunning)
            return false;
        QTest::qWait(10);
    }
    return false;
}

void TestSingleInstance::Serve()
{
    StartProgram();
    Dialogs::MessageHook = [this](const QString&, const QString& text) { FMessages << text; };
    FServer = std::make_unique<SingleInstance::TServer>();
    FServer->SetAccepting([] { return MainForm && !MainForm->Ending(); }); // as the program does
    connect(FServer.get(), &SingleInstance::TServer::FilesReceived, MainForm, &FileOpener::FilesHandedOver);
    connect(FServer.get(), &SingleInstance::TServer::FilesReceived, this,
            [this](const QStringList& files) { FReceived << files; });
    QVERIFY(FServer->Listen(SingleInstance::ServerName()));
}

void TestSingleInstance::secondStartHandsOver_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("received"); // "~" stands for the test's folder
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("failed"); // named in the one message

    QTest::newRow("catalog, relative name")
        << QStringList{"show.cat"} << QStringList{"~/show.cat"} << QStringList{"~/show.cat"} << QStringList();
    QTest::newRow("picture") << QStringList{"frame.PIC"} << QStringList{"~/frame.PIC"}
                             << QStringList{"noname1.cat"} << QStringList();
    QTest::newRow("every kind, bad among good")
        << QStringList{"frame.PIC", "missing.cat", "show.cat", "show.ild", "notes.txt"}
        << QStringList{"~/frame.PIC", "~/missing.cat", "~/show.cat", "~/show.ild", "~/notes.txt"}
        << QStringList{"noname1.cat", "~/show.cat"}
        << QStringList{"~/missing.cat", "~/show.ild", "~/notes.txt"};
    QTest::newRow("absolute name and URL")
        << QStringList{"~/show.cat", "file://~/frame.pic"} << QStringList{"~/show.cat", "~/frame.pic"}
        << QStringList{"~/show.cat", "noname2.cat"} << QStringList();
    QTest::newRow("no files: the window comes up")
        << QStringList() << QStringList() << QStringList() << QStringList();
}

void TestSingleInstance::secondStartHandsOver()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, received);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, failed);
    const auto here = [this](QStringList list) {
        for (QString& entry : list)
            entry.replace(QLatin1Char('~'), FDir.path());
        return list;
    };
    {
        TZLT_Cat cat;
        cat.Frames.SetFrame(3, Frame(5));
        cat.SaveToFile(FDir.filePath(QStringLiteral("show.cat")));
        Frame(7)->SaveToPicFile(FDir.filePath(QStringLiteral("frame.PIC")));
        Frame(7)->SaveToPicFile(FDir.filePath(QStringLiteral("frame.pic")));
        QFile ilda(FDir.filePath(QStringLiteral("show.ild")));
        QVERIFY(ilda.open(QIODevice::WriteOnly));
        ilda.write("ILDA");
        QFile text(FDir.filePath(QStringLiteral("notes.txt")));
        QVERIFY(text.open(QIODevice::WriteOnly));
    }
    Serve();
    MainForm->showMinimized();

    QProcess* second = Start(here(arguments));
    QTRY_VERIFY_WITH_TIMEOUT(second->state() == QProcess::NotRunning, 60000);
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(second->readAllStandardOutput(), QByteArray()); // it never showed a window of its own

    QTRY_COMPARE_WITH_TIMEOUT(FReceived.size(), 1, 60000);
    QCOMPARE(FReceived[0], here(received));
    QVERIFY(!MainForm->isMinimized());
    QTRY_COMPARE_WITH_TIMEOUT(Titles(), here(titles), 60000);
    QCOMPARE(Errors(), QStringList());
    if (failed.isEmpty()) {
        QCOMPARE(FMessages, QStringList());
    } else {
        QCOMPARE(FMessages.size(), 1);
        for (const QString& file : here(failed))
            QVERIFY2(FMessages[0].contains(file + QLatin1Char('\n')), qPrintable(FMessages[0]));
    }
}

void TestSingleInstance::staleSocketNeverBlocks()
{
    // What a crashed program leaves: a socket file nobody listens on.
    const QString name = SingleInstance::ServerName();
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(name);
        QVERIFY(size_t(path.size()) < sizeof(address.sun_path));
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        ::close(fd);
    }
    QVERIFY(QFileInfo::exists(name));
    QCOMPARE(SingleInstance::HandOver(name, {}), SingleInstance::THandOver::NoServer);

    QProcess* program = Start({});
    QVERIFY(WaitFor(program, "shown"));
    // The new program serves under the name: it takes a start's files.
    QVERIFY(HandedOver(name, {FDir.filePath(QStringLiteral("x.cat"))}));
    QVERIFY(WaitFor(program, "opened 1"));
}

void TestSingleInstance::liveProgramKeepsItsName_data()
{
    QTest::addColumn<QString>("running"); // what keeps the running program from answering at once
    QTest::addColumn<int>("files");
    QTest::newRow("stopped") << "stopped" << 1;
    QTest::newRow("busy") << "busy" << 1;
    QTest::newRow("eight idle connections") << "idle" << 1;
    QTest::newRow("more files than a request holds") << "" << SingleInstance::MaxFiles + 76;
}

void TestSingleInstance::liveProgramKeepsItsName()
{
    // The second start hands its files to the live program however late it
    // answers; it never takes the program's name or opens a window.
    QFETCH(QString, running);
    QFETCH(int, files);
    const QString name = SingleInstance::ServerName();
    QStringList arguments, expected;
    for (int i = 0; i < files; ++i) {
        arguments << QStringLiteral("f%1.cat").arg(i);
        expected << FDir.filePath(arguments.last());
    }
    QProcess* first = nullptr;
    QList<int> idle;
    if (running == QLatin1String("stopped")) {
        first = Start({});
        QVERIFY(WaitFor(first, "shown"));
        QVERIFY(HandedOver(name, {}));
        QCOMPARE(::kill(pid_t(first->processId()), SIGSTOP), 0);
    } else {
        Serve();
        Dialogs::MessageHook = [](const QString&, const QString&) {}; // the files are missing
        for (int i = 0; running == QLatin1String("idle") && i < 8; ++i)
            idle << ConnectTo(name);
        QCoreApplication::processEvents();
    }
    const ino_t inode = Inode(name);
    QVERIFY(inode != 0);

    QProcess* second = Start(arguments);
    QVERIFY(second->waitForStarted());
    if (running == QLatin1String("busy"))
        QThread::msleep(2 * SingleInstance::AnswerTimeoutMs); // no event loop meanwhile
    if (!running.isEmpty())
        QVERIFY(WaitForError(second, "waiting for the running Trevasc"));
    QCOMPARE(Inode(name), inode);
    if (first) {
        QCOMPARE(second->state(), QProcess::Running);
        QCOMPARE(::kill(pid_t(first->processId()), SIGCONT), 0);
        QVERIFY(WaitFor(first, "opened 1"));
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(FReceived.size(), running.isEmpty() ? 2 : 1, 60000);
        QCOMPARE(FReceived.size() == 2 ? FReceived[0] + FReceived[1] : FReceived[0], expected);
    }
    QTRY_VERIFY_WITH_TIMEOUT(second->state() == QProcess::NotRunning, 60000);
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(second->readAllStandardOutput(), QByteArray());
    QCOMPARE(Inode(name), inode);
    for (int fd : idle)
        ::close(fd);
}

void TestSingleInstance::endingProgramLeavesAnothersSocket()
{
    // A program that ends removes its socket only while the name is its own.
    const QString name = SingleInstance::ServerName();
    auto server = std::make_unique<SingleInstance::TServer>();
    QVERIFY(server->Listen(name));
    QVERIFY(QFile::remove(name));
    const int other = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(name);
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    QCOMPARE(::bind(other, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    QCOMPARE(::listen(other, 4), 0);
    const ino_t inode = Inode(name);
    server.reset();
    QCOMPARE(Inode(name), inode);
    ::close(other);
    // Its own socket it does remove.
    QVERIFY(QFile::remove(name));
    server = std::make_unique<SingleInstance::TServer>();
    QVERIFY(server->Listen(name));
    QVERIFY(Inode(name) != 0);
    server.reset();
    QCOMPARE(Inode(name), ino_t(0));
}

void TestSingleInstance::handOverWhileEnding_data()
{
    QTest::addColumn<bool>("early");  // the file was handed over just before the end began
    QTest::addColumn<QString>("answer"); // to "not saved, save ?"
    QTest::addColumn<bool>("ended");
    QTest::newRow("exit goes on: the start runs on its own") << false << "No" << true;
    QTest::newRow("exit cancelled: later starts hand over again") << false << "Cancel" << false;
    QTest::newRow("taken just before: the exit waits for the file") << true << "No" << false;
}

void TestSingleInstance::handOverWhileEnding()
{
    QFETCH(bool, early);
    QFETCH(QString, answer);
    QFETCH(bool, ended);
    Serve();
    const QString name = SingleInstance::ServerName();
    const QString file = FDir.filePath(QStringLiteral("x.cat"));
    MainForm->FileNew1->trigger();
    int client = -1;
    if (early) {
        // Answered before the end began, confirmed while the question is open.
        client = ConnectTo(name);
        const QByteArray request = SingleInstance::EncodeRequest({file});
        QCOMPARE(::send(client, request.constData(), size_t(request.size()), 0), ssize_t(request.size()));
        QByteArray answered(7, 0);
        qsizetype got = 0;
        for (QDeadlineTimer deadline(60000); got < 7 && !deadline.hasExpired(); QTest::qWait(10))
            got += std::max<ssize_t>(0, ::recv(client, answered.data() + got, size_t(7 - got), MSG_DONTWAIT));
        QCOMPARE(answered, SingleInstance::EncodeAnswer(true));
    }
    QProcess* second = nullptr;
    WhenModal([&](QWidget* question) {
        if (early) {
            QCOMPARE(::send(client, &SingleInstance::Confirm, 1, 0), ssize_t(1));
            QTRY_COMPARE_WITH_TIMEOUT(FReceived.size(), 1, 60000);
        } else {
            second = Start({QStringLiteral("x.cat")});
            QVERIFY(WaitFor(second, "shown"));
            QCOMPARE(FReceived.size(), 0);
        }
        Button(question, answer)->click();
    });
    MainForm->FileExit1->trigger();
    QCOMPARE(!MainForm->isVisible(), ended);
    if (early) {
        QTRY_COMPARE_WITH_TIMEOUT(Titles(), (QStringList{"noname1.cat", file}), 60000);
        ::close(client);
    } else {
        QVERIFY(second);
        QCOMPARE(second->state(), QProcess::Running);
        // The next start: refused while the window is gone, taken if it stays.
        QProcess* third = Start({QStringLiteral("x.cat")});
        if (ended) {
            QVERIFY(WaitFor(third, "shown"));
            // Once this one is gone, one of them takes the name over.
            FServer.reset();
            QVERIFY(HandedOver(name, {}));
            QByteArray seen;
            for (QDeadlineTimer deadline(60000); !seen.contains("opened 0") && !deadline.hasExpired(); QTest::qWait(10))
                seen += second->readAllStandardOutput() + third->readAllStandardOutput();
            QVERIFY(seen.contains("opened 0"));
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(third->state() == QProcess::NotRunning, 60000);
            QCOMPARE(third->exitCode(), 0);
        }
        QTRY_COMPARE_WITH_TIMEOUT(FReceived.size(), ended ? 0 : 1, 60000);
    }
}

void TestSingleInstance::nameBytesTravelUnchanged_data()
{
    QTest::addColumn<QByteArray>("argument"); // as printf's %b reads it
    QTest::addColumn<QByteArray>("folder");   // the working folder, below the test's
    QTest::addColumn<QByteArray>("received"); // below the test's folder
    QTest::newRow("absolute, Latin-1") << QByteArray("~/L\\0344ser.cat") << QByteArray("") << QByteArray("/L\xe4ser.cat");
    QTest::newRow("relative, in a folder not UTF-8")
        << QByteArray("\\0377.ild") << QByteArray("d\\0376") << QByteArray("/d\xfe/\xff.ild");
    QTest::newRow("file URL") << QByteArray("file://~/a%FF%C3%A4.pic") << QByteArray("")
                              << QByteArray("/a\xff\xc3\xa4.pic");
    QTest::newRow("UTF-8 beside") << QByteArray("~/\\0303\\0244\\0377.cat") << QByteArray("")
                                  << QByteArray("/\xc3\xa4\xff.cat");
}

void TestSingleInstance::nameBytesTravelUnchanged()
{
    // File names are bytes: from the command line to the running program.
    QFETCH(QByteArray, argument);
    QFETCH(QByteArray, folder);
    QFETCH(QByteArray, received);
    const QByteArray here = QFile::encodeName(FDir.path());
    argument.replace('~', here);
    Serve();
    Dialogs::MessageHook = [](const QString&, const QString&) {};
    auto* second = new QProcess;
    FPrograms << second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TREVASC_INSTANCE"), FInstance);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second->setProcessEnvironment(environment);
    // The shell makes the bytes; QProcess would pass only UTF-8.
    second->start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"),
                   QStringLiteral("d=$(printf %b \"$1\") && mkdir -p \"$d\" && cd \"$d\" && exec \"$0\" \"$(printf %b \"$2\")\""),
                   QStringLiteral(TREVASC_PROGRAM), QString::fromLatin1(here + "/" + folder),
                   QString::fromLatin1(argument)});
    QTRY_VERIFY_WITH_TIMEOUT(second->state() == QProcess::NotRunning, 60000);
    QCOMPARE(second->exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(FReceived.size(), 1, 60000);
    QCOMPARE(FReceived[0].size(), 1);
    QCOMPARE(ZLT_FileNames::Encode(FReceived[0][0]), here + received);
}

void TestSingleInstance::longRuntimeFolder_data()
{
    QTest::addColumn<int>("length"); // of the runtime folder's own name
    QTest::addColumn<bool>("inside");
    QTest::newRow("short") << 8 << true;
    QTest::newRow("socket path over the limit") << 100 << false;
}

void TestSingleInstance::longRuntimeFolder()
{
    QFETCH(int, length);
    QFETCH(bool, inside);
    const QString runtime = FDir.filePath(QString(length, QLatin1Char('r')));
    QVERIFY(QDir().mkpath(runtime));
    QVERIFY(QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    const QString name = SingleInstance::ServerName();
    QVERIFY(QFile::encodeName(name).size() < int(sizeof(sockaddr_un::sun_path)));
    QCOMPARE(name.startsWith(runtime + QLatin1Char('/')), inside);

    // Two real starts find each other.
    QProcess* first = Start({});
    QVERIFY(WaitFor(first, "shown"));
    QProcess* second = Start({QStringLiteral("x.cat")});
    QVERIFY(WaitFor(first, "opened 1"));
    QTRY_VERIFY_WITH_TIMEOUT(second->state() == QProcess::NotRunning, 60000);
    QCOMPARE(second->exitCode(), 0);
}

void TestSingleInstance::slowClientsCostNoCore()
{
    // Seven clients send a request a few bytes at a time. The running
    // program's processor time per byte must not grow with what it holds
    // already: compared with the same trickle behind a large first piece.
    const QString name = SingleInstance::ServerName();
    QProcess* program = Start({});
    QVERIFY(WaitFor(program, "shown"));
    QStringList files;
    for (int i = 0; i < 250; ++i)
        files << "/" + QString(4000, QLatin1Char('a' + i % 26));
    const QByteArray request = SingleInstance::EncodeRequest(files);
    const auto trickle = [&](qsizetype head) {
        QList<int> clients;
        for (int i = 0; i < 7; ++i) {
            clients << ConnectTo(name);
            if (clients.last() < 0)
                return qint64(-1);
        }
        const qint64 before = ProcessorNs(program->processId());
        for (int fd : clients)
            ::send(fd, request.constData(), size_t(head), MSG_NOSIGNAL);
        for (qsizetype at = head; at < head + 16000; at += 16) {
            for (int fd : clients)
                ::send(fd, request.constData() + at, 16, MSG_NOSIGNAL);
            ::poll(nullptr, 0, 1);
        }
        ::poll(nullptr, 0, 200);
        const qint64 used = ProcessorNs(program->processId()) - before;
        for (int fd : clients)
            ::close(fd);
        return used;
    };
    const qint64 small = trickle(8);
    const qint64 large = trickle(request.size() - 20000);
    QVERIFY(small > 0 && large > 0);
    qInfo("processor time: %.3f s after a small head, %.3f s after a large one", small / 1e9, large / 1e9);
    QVERIFY2(large < 3 * small, qPrintable(QStringLiteral("%1 ns against %2 ns").arg(large).arg(small)));
    QCOMPARE(program->state(), QProcess::Running);
}

void TestSingleInstance::newInstanceStartsItsOwn()
{
    Serve();
    QProcess* own = Start({QStringLiteral("--new-instance"), QStringLiteral("x.cat")});
    QVERIFY(WaitFor(own, "shown"));
    QCoreApplication::processEvents();
    QCOMPARE(FReceived.size(), 0);
    // It took nothing away from the running program.
    QVERIFY(QFileInfo::exists(FServer->FullServerName()));
    QProcess* next = Start({});
    QTRY_VERIFY_WITH_TIMEOUT(next->state() == QProcess::NotRunning, 60000);
    QCOMPARE(next->exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(FReceived.size(), 1, 60000);
}

QTEST_MAIN(TestSingleInstance)
#include "tst_app_singleinstance.moc"
