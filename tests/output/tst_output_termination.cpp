// The real program ended by a signal or by losing its display while its
// output is on: the projector gets the channel's and the session's close
// (an Ether Dream DAC its stop) before the program is gone, and the catalog it had open, changed since,
// is left on disk as it was. The program runs under its own X server,
// where the test types Ctrl+L (Laser output) and Ctrl+X (a change).

#include "EtherDreamTestKit.h"
#include "IdnTestKit.h"
#include "ZLT_Files.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>

using namespace EtherDreamTestKit;
using namespace IdnTestKit;

class TestTermination : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void darkBeforeTheEnd_data();
    void darkBeforeTheEnd();

private:
    QString FXvfb, FXdotool;
};

namespace {
// The output the program has on.
enum TOutput
{
    IdnFrames,
    IdnStream,
    EtherDream,
};

// The points a DAC played from index from on, as IDN samples.
QByteArray PlayedSamples(const std::vector<TPlayed>& played, size_t from)
{
    QByteArray bytes;
    for (size_t i = from; i < played.size(); ++i) {
        const TPlayed& p = played[i];
        for (const uint16_t v : {uint16_t(p.X), uint16_t(p.Y)})
            bytes.append(char(v >> 8)).append(char(v));
        bytes.append(char(p.R >> 8)).append(char(p.G >> 8)).append(char(p.B >> 8));
    }
    return bytes;
}

// Runs xdotool with its arguments on display; true when it succeeded.
bool Xdotool(const QString& program, const QString& display, const QStringList& arguments,
             QByteArray* output = nullptr)
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    tool.setProcessEnvironment(environment);
    tool.start(program, arguments);
    if (!tool.waitForFinished(20000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return false;
    if (output)
        *output = tool.readAllStandardOutput().trimmed();
    return true;
}

bool WaitForLine(QProcess& process, const QByteArray& line)
{
    QByteArray seen;
    for (int round = 0; round < 600 && process.state() == QProcess::Running; ++round) {
        process.waitForReadyRead(100);
        seen += process.readAllStandardOutput();
        if (seen.contains(line + '\n'))
            return true;
    }
    return false;
}
} // namespace

void TestTermination::initTestCase()
{
    FXvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    FXdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (FXvfb.isEmpty() || FXdotool.isEmpty())
        QSKIP("needs Xvfb and xdotool (scripts/deps.sh installs them)");
}

void TestTermination::darkBeforeTheEnd_data()
{
    QTest::addColumn<int>("signal"); // 0: the display is lost
    QTest::addColumn<int>("output");
    QTest::newRow("SIGTERM") << int(SIGTERM) << int(IdnFrames);
    QTest::newRow("SIGHUP") << int(SIGHUP) << int(IdnFrames);
    QTest::newRow("SIGINT") << int(SIGINT) << int(IdnFrames);
    QTest::newRow("display lost") << 0 << int(IdnFrames);
    QTest::newRow("SIGTERM, continuous stream") << int(SIGTERM) << int(IdnStream);
    QTest::newRow("display lost, continuous stream") << 0 << int(IdnStream);
    QTest::newRow("SIGTERM, Ether Dream") << int(SIGTERM) << int(EtherDream);
    QTest::newRow("display lost, Ether Dream") << 0 << int(EtherDream);
}

void TestTermination::darkBeforeTheEnd()
{
    QFETCH(int, signal);
    QFETCH(int, output);
    TReceiver receiver;
    TDacThread dac;
    uint16_t dacPort = 0;
    dac.Run([&] { dacPort = dac.Dac->Port(); });

    // The program in a folder of its own, its settings beside it with the
    // receiver as the projector, and a catalog last changed an hour ago.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString program = dir.filePath(QStringLiteral("trevasc"));
    QVERIFY(QFile::copy(QStringLiteral(TREVASC_PROGRAM), program));
    const QByteArray ini =
        output == EtherDream
            ? "[Laser]\nAddress=127.0.0.1:" + QByteArray::number(dacPort) + "\nKind=EtherDream\n"
            : "[Laser]\nAddress=127.0.0.1:" + QByteArray::number(receiver.Port()) + '\n' +
                  (output == IdnStream ? "IdnMode=Continuous\n" : "");
    const QString iniPath = dir.filePath(QStringLiteral("Trevasc.ini"));
    const QString catalogPath = dir.filePath(QStringLiteral("show.cat"));
    TZLT_Cat catalog;
    catalog.Frames.SetFrame(0, Figure(100));
    const QByteArray bytes = catalog.ToBytes();
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const auto& [path, content] : {std::pair{iniPath, ini}, std::pair{catalogPath, bytes}}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        QVERIFY(file.setFileTime(hourAgo, QFileDevice::FileModificationTime));
    }
    const QDateTime catalogTime = QFileInfo(catalogPath).lastModified();

    // An X server of its own, on a display it picks.
    QProcess xvfb;
    xvfb.start(FXvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                       QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                       QStringLiteral("1024x768x24")});
    QVERIFY(xvfb.waitForStarted());
    QByteArray number;
    for (int round = 0; round < 200 && !number.endsWith('\n'); ++round) {
        xvfb.waitForReadyRead(100);
        number += xvfb.readAllStandardOutput();
    }
    QVERIFY2(number.endsWith('\n'), "Xvfb gave no display");
    const QString display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());

    QProcess trevasc;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("TREVASC_REPORT"), QStringLiteral("1"));
    environment.insert(QStringLiteral("TREVASC_INSTANCE"), QStringLiteral("termination") + display);
    trevasc.setProcessEnvironment(environment);
    trevasc.start(program, {QStringLiteral("--new-instance"), catalogPath});
    QVERIFY(trevasc.waitForStarted());
    QVERIFY(WaitForLine(trevasc, "shown"));

    // Laser output on: the catalog's first frame goes out.
    QByteArray window;
    QVERIFY(Xdotool(FXdotool, display,
                    {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--name"), QStringLiteral("^Trevasc")},
                    &window));
    window = window.split('\n').first();
    QVERIFY(Xdotool(FXdotool, display, {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}));
    QVERIFY(Xdotool(FXdotool, display, {QStringLiteral("key"), QStringLiteral("ctrl+l")}));
    // Whether what goes out turns to the frame of these samples (within
    // 10 s): as frames, or as pieces of the frame looped.
    const auto looped = [](const QByteArray& samples, const QByteArray& piece) {
        return !piece.isEmpty() && samples.repeated(2 + int(piece.size() / samples.size())).contains(piece);
    };
    const auto sends = [&](const QByteArray& samples) {
        for (int round = 0; round < 100; ++round) {
            if (output == EtherDream) {
                QTest::qWait(100);
                const std::vector<TPlayed> played = dac.Get(&TFakeDac::Played);
                if (played.size() >= 50 && looped(samples, PlayedSamples(played, played.size() - 50)))
                    return true;
                continue;
            }
            receiver.WaitFor(receiver.Datagrams.size() + 1);
            if (output == IdnStream) {
                const std::vector<TWaveChunk> chunks = WaveChunks(receiver.Datagrams);
                if (!chunks.empty() && looped(samples, chunks.back().Data))
                    return true;
                continue;
            }
            const std::vector<TFrame> frames = Frames(receiver.Datagrams);
            if (!frames.empty() && frames.back().Data == samples)
                return true;
        }
        return false;
    };
    QVERIFY(sends(IdnDatagrams::FrameSamples(catalog.Frames.GetFrame(0), TZLT_Pal())));
    // A change the program would ask about: the frame cut, so a dark one follows.
    QVERIFY(Xdotool(FXdotool, display, {QStringLiteral("key"), QStringLiteral("ctrl+x")}));
    QVERIFY(sends(IdnDatagrams::DarkSamples()));

    if (signal != 0)
        QCOMPARE(::kill(pid_t(trevasc.processId()), signal), 0);
    else
        xvfb.kill();
    QVERIFY(trevasc.waitForFinished(30000));
    if (signal != 0) {
        QCOMPARE(trevasc.exitStatus(), QProcess::CrashExit); // the signal's own end
    } else {
        QCOMPARE(trevasc.exitStatus(), QProcess::NormalExit);
        QCOMPARE(trevasc.exitCode(), 1);
    }
    xvfb.kill();
    xvfb.waitForFinished();

    if (output == EtherDream) {
        // Dark at the end: the DAC told to stop before the connection went.
        const QByteArray commands = dac.Get(&TFakeDac::Commands);
        QVERIFY(commands.endsWith('s'));
        QCOMPARE(dac.Get(&TFakeDac::Playback), uint8_t(TFakeDac::Idle));
    } else {
        // Dark at the end: the channel closed, then the session.
        receiver.WaitFor(receiver.Datagrams.size() + 2);
        QVERIFY(receiver.Quiet());
        QVERIFY(receiver.Datagrams.size() >= 4);
        QVERIFY(Decode(receiver.Datagrams[receiver.Datagrams.size() - 2]).Error.isEmpty());
        QVERIFY(IsClose(receiver.Datagrams, output == IdnStream ? 0x01 : 0x02));
    }

    // Nothing written: neither the catalog nor the settings.
    QCOMPARE(ZLT_Files::ReadWholeFile(catalogPath), bytes);
    QCOMPARE(QFileInfo(catalogPath).lastModified(), catalogTime);
    QCOMPARE(ZLT_Files::ReadWholeFile(iniPath), ini);
}

QTEST_MAIN(TestTermination)
#include "tst_output_termination.moc"
