// One program per desktop: the exchange's limits, and the real program
// started beside this test, which plays the running program or a second
// start: files handed over by kind, a start without files, a socket left by
// a crashed program, a running program that does not answer, and
// --new-instance.

#include "FileOpener.h"
#include "ShellTestKit.h"
#include "SingleInstance.h"

#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <csignal>
#include <sys/socket.h>
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
    void encodeRefusesWhatCannotBeSent_data();
    void encodeRefusesWhatCannotBeSent();
    void namePerDisplay();

    void secondStartHandsOver_data();
    void secondStartHandsOver();
    void staleSocketNeverBlocks();
    void runningProgramThatDoesNotAnswer();
    void newInstanceStartsItsOwn();

private:
    // The real program, in the test's folder, for this run's server name.
    QProcess* Start(const QStringList& arguments);
    // Waits for a line the program reports ("shown"), turning the event loop.
    bool WaitFor(QProcess* program, const QByteArray& line);
    // This test process as the running program.
    void Serve();

    QTemporaryDir FDir;
    QString FInstance;
    QList<QProcess*> FPrograms;
    std::unique_ptr<SingleInstance::TServer> FServer;
    QList<QStringList> FReceived;
    QStringList FMessages;
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
    QTest::newRow("not UTF-8") << Request(1, 1, {"/\xff\xfe.cat"}) << invalid << none;
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

void TestSingleInstance::Serve()
{
    StartProgram();
    Dialogs::MessageHook = [this](const QString&, const QString& text) { FMessages << text; };
    FServer = std::make_unique<SingleInstance::TServer>();
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

void TestSingleInstance::runningProgramThatDoesNotAnswer()
{
    const QString name = SingleInstance::ServerName();
    QProcess* hung = Start({});
    QVERIFY(WaitFor(hung, "shown"));
    QVERIFY(HandedOver(name, {}));
    QVERIFY(WaitFor(hung, "opened 0"));
    QCOMPARE(::kill(pid_t(hung->processId()), SIGSTOP), 0);
    QCOMPARE(SingleInstance::HandOver(name, {}), SingleInstance::THandOver::NoAnswer);

    // The next start waits a second for an answer, then runs on its own.
    QProcess* second = Start({QStringLiteral("x.cat")});
    QVERIFY(WaitFor(second, "shown"));
    QCOMPARE(second->state(), QProcess::Running);
    QVERIFY(HandedOver(name, {}));
    QVERIFY(WaitFor(second, "opened 0"));

    // Woken up, the old program finds the request it never answered
    // unconfirmed and opens nothing; it goes on running.
    QCOMPARE(::kill(pid_t(hung->processId()), SIGCONT), 0);
    QTest::qWait(500);
    const QByteArray late = hung->readAllStandardOutput();
    QVERIFY2(!late.contains("opened"), late.constData());
    QCOMPARE(hung->state(), QProcess::Running);
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
