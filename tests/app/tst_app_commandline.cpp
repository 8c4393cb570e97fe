// The command line: files made absolute, file: URLs, the toolkit's own
// options, and --help, --version and a wrong option as a user meets them
// in a terminal without any display.

#include "CommandLine.h"
#include "TrevascVersion.h"

#include <QProcess>
#include <QtTest>

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void inATerminal_data();
    void inATerminal();
};

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments"); // after the program's name
    QTest::addColumn<QStringList>("files");     // "~" stands for the working folder
    QTest::addColumn<bool>("newInstance");
    QTest::addColumn<QString>("error");

    const QStringList none;
    QTest::newRow("nothing") << none << none << false << QString();
    QTest::newRow("relative names") << QStringList{"a.cat", "sub/b.pic"}
                                    << QStringList{"~/a.cat", "~/sub/b.pic"} << false << QString();
    QTest::newRow("dots resolved") << QStringList{"./x/../c.cat"} << QStringList{"~/c.cat"} << false
                                   << QString();
    QTest::newRow("absolute name") << QStringList{"/data/show.ild"} << QStringList{"/data/show.ild"} << false
                                   << QString();
    QTest::newRow("file URL") << QStringList{"file:///data/my%20show.cat"} << QStringList{"/data/my show.cat"}
                              << false << QString();
    QTest::newRow("order and repeats kept")
        << QStringList{"b.cat", "a.cat", "b.cat"} << QStringList{"~/b.cat", "~/a.cat", "~/b.cat"} << false
        << QString();
    QTest::newRow("new instance") << QStringList{"--new-instance", "a.cat"} << QStringList{"~/a.cat"} << true
                                  << QString();
    QTest::newRow("name that looks like an option")
        << QStringList{"--", "-odd.cat"} << QStringList{"~/-odd.cat"} << false << QString();
    QTest::newRow("toolkit options are not files")
        << QStringList{"-platform", "offscreen", "a.cat", "-session", "x1", "-reverse"}
        << QStringList{"~/a.cat"} << false << QString();
    QTest::newRow("unknown option") << QStringList{"--bogus", "a.cat"} << none << false
                                    << QStringLiteral("Unknown option 'bogus'.");
    QTest::newRow("option without its value") << QStringList{"a.cat", "-platform"} << none << false
                                              << QStringLiteral("Missing value after '-platform'.");
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, files);
    QFETCH(bool, newInstance);
    QFETCH(QString, error);
    TCommandLine result;
    QString message;
    const bool ok = CommandLine::Parse(QStringList{"trevasc"} + arguments, result, message);
    QCOMPARE(message, error);
    QCOMPARE(ok, error.isEmpty());
    if (!ok)
        return;
    for (QString& file : files)
        file.replace(QLatin1Char('~'), QDir::currentPath());
    QCOMPARE(result.Files, files);
    QCOMPARE(result.NewInstance, newInstance);
}

void TestCommandLine::inATerminal_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // standard output starts with it
    QTest::addColumn<QString>("errors"); // standard error holds it

    const QString version = QStringLiteral("Trevasc " TREVASC_VERSION "\n");
    QTest::newRow("--version") << QStringList{"--version"} << 0 << version << QString();
    QTest::newRow("-v with files") << QStringList{"-v", "a.cat"} << 0 << version << QString();
    QTest::newRow("--help") << QStringList{"--help"} << 0 << QStringLiteral("Usage: ") << QString();
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 1 << QString()
                                    << QStringLiteral("Unknown option 'bogus'.");
}

void TestCommandLine::inATerminal()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, errors);
    // No display at all: the program must not need one for these.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TREVASC_PROGRAM), arguments);
    QVERIFY(program.waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    QVERIFY2(out.startsWith(output), qPrintable(out));
    QVERIFY2(err.contains(errors), qPrintable(err));
    if (arguments.contains(QStringLiteral("--help"))) {
        QVERIFY2(out.contains(QStringLiteral("--new-instance")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("[FILE...]")), qPrintable(out));
        QVERIFY2(!out.contains(QStringLiteral("-platform")), qPrintable(out));
    }
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_app_commandline.moc"
