// The settings file: reading with defaults, writing that keeps what is
// there, and the main window's settings surviving a run byte for byte.

#include "IniFile.h"
#include "ShellTestKit.h"
#include "ZLT_Error.h"

#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ShellTestKit;

class TestIniFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readsValuesAndDefaults_data();
    void readsValuesAndDefaults();
    void writesKeepingOtherLines_data();
    void writesKeepingOtherLines();
    void writeFailureNamesTheFile();
    void writeFailureGivesTheReason_data();
    void writeFailureGivesTheReason();

    void programStartsWithTheFileSettings_data();
    void programStartsWithTheFileSettings();
    void programEndRewritesTheFileUnchanged_data();
    void programEndRewritesTheFileUnchanged();
    void firstEndCreatesTheFile();

private:
    QTemporaryDir FDir;
};

void TestIniFile::init()
{
    QFile::remove(IniPath());
}

void TestIniFile::cleanup()
{
    if (MainForm)
        EndProgram();
    QFile::remove(IniPath());
}

void TestIniFile::readsValuesAndDefaults_data()
{
    QTest::addColumn<QByteArray>("text"); // null: no file
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("path");
    const QString def = QStringLiteral("C:\\laser\\");
    QTest::newRow("no file") << QByteArray() << 0 << def;
    QTest::newRow("empty file") << QByteArray("") << 0 << def;
    QTest::newRow("backslashes as typed")
        << QByteArray("[Application]\r\nLanguage=1\r\nPathToPalettes=C:\\laser\\pal\\\r\n") << 1
        << QStringLiteral("C:\\laser\\pal\\");
    QTest::newRow("double backslashes stay double")
        << QByteArray("[Application]\nPathToPalettes=\\\\server\\pal\\\\\n") << 0
        << QStringLiteral("\\\\server\\pal\\\\");
    QTest::newRow("section missing") << QByteArray("[Other]\nLanguage=1\nPathToPalettes=/x/\n") << 0 << def;
    QTest::newRow("path key missing") << QByteArray("[Application]\nLanguage=1\n") << 1 << def;
    QTest::newRow("language not a number") << QByteArray("[Application]\nLanguage=Deutsch\n") << 0 << def;
    QTest::newRow("language seven") << QByteArray("[Application]\nLanguage=7\n") << 7 << def;
    QTest::newRow("language minus one") << QByteArray("[Application]\nLanguage=-1\n") << -1 << def;
    QTest::newRow("language beyond 32 bits")
        << QByteArray("[Application]\nLanguage=4294967297\n") << 0 << def;
    QTest::newRow("names in any case")
        << QByteArray("[APPLICATION]\nlanguage=1\npathtopalettes=/pal/\n") << 1 << QStringLiteral("/pal/");
    QTest::newRow("spaces around")
        << QByteArray("  [ Application ]  \nLanguage = 1 \nPathToPalettes =  /my pal/  \n") << 1
        << QStringLiteral("/my pal/");
    QTest::newRow("quoted value") << QByteArray("[Application]\nPathToPalettes=\"C:\\a b\\\"\n") << 0
                                  << QStringLiteral("C:\\a b\\");
    QTest::newRow("other section's keys are not read")
        << QByteArray("PathToPalettes=/none/\n[Other]\nLanguage=1\nPathToPalettes=/o/\n[Application]\n; "
                      "Language=1\n")
        << 0 << def;
    QTest::newRow("first of two entries")
        << QByteArray("[Application]\nLanguage=1\nLanguage=0\n") << 1 << def;
    QTest::newRow("German letters") << QByteArray("[Application]\nPathToPalettes=/Paletten/Überblick/\n") << 0
                                    << QStringLiteral("/Paletten/Überblick/");
    QTest::newRow("German letters in a one-byte code page")
        << QByteArray("[Application]\nPathToPalettes=C:\\\xDC"
                      "ber\\\n")
        << 0 << QStringLiteral("C:\\Über\\");
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF[Application]\nLanguage=1\n") << 1 << def;
    QTest::newRow("old Mac line breaks")
        << QByteArray("[Other]\rLanguage=7\r[Application]\rLanguage=1\rPathToPalettes=/p/\r") << 1
        << QStringLiteral("/p/");
}

void TestIniFile::readsValuesAndDefaults()
{
    QFETCH(QByteArray, text);
    QFETCH(int, language);
    QFETCH(QString, path);
    const QString fileName = FDir.filePath(QStringLiteral("read.ini"));
    QFile::remove(fileName);
    if (!text.isNull()) {
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    const TIniFile ini(fileName);
    QCOMPARE(ini.ReadInteger(QStringLiteral("Application"), QStringLiteral("Language"), 0), language);
    QCOMPARE(ini.ReadString(QStringLiteral("Application"), QStringLiteral("PathToPalettes"),
                            QStringLiteral("C:\\laser\\")),
             path);
}

void TestIniFile::writesKeepingOtherLines_data()
{
    QTest::addColumn<QByteArray>("before"); // null: no file
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("new file") << QByteArray() << 0 << QStringLiteral("C:\\laser\\")
                              << QByteArray("[Application]\nLanguage=0\nPathToPalettes=C:\\laser\\\n");
    QTest::newRow("values replaced in place, line breaks kept")
        << QByteArray("[Application]\r\nLanguage=0\r\nPathToPalettes=C:\\laser\\\r\n") << 1
        << QStringLiteral("D:\\pal\\")
        << QByteArray("[Application]\r\nLanguage=1\r\nPathToPalettes=D:\\pal\\\r\n");
    QTest::newRow("other sections and keys kept")
        << QByteArray(
               "; settings\n[Window]\nLeft=5\n\n[Application]\nPathToPalettes=old\nExtra=x\n\n[Tail]\nk=v\n")
        << -1 << QStringLiteral("/new/")
        << QByteArray("; settings\n[Window]\nLeft=5\n\n[Application]\nPathToPalettes=/new/\nExtra=x\n"
                      "Language=-1\n\n[Tail]\nk=v\n");
    QTest::newRow("section appended after a last line without break")
        << QByteArray("[Other]\nk=v") << 7 << QStringLiteral("/p/")
        << QByteArray("[Other]\nk=v\n\n[Application]\nLanguage=7\nPathToPalettes=/p/\n");
    QTest::newRow("one-byte code page kept")
        << QByteArray("[Application]\r\nLanguage=1\r\nPathToPalettes=C:\\\xDC"
                      "ber\\\r\n")
        << 0 << QStringLiteral("C:\\Über\\")
        << QByteArray("[Application]\r\nLanguage=0\r\nPathToPalettes=C:\\\xDC"
                      "ber\\\r\n");
    QTest::newRow("one-byte code page kept when a value needs more: the value is refused")
        << QByteArray("[Application]\nPathToPalettes=\xDC\n") << 0 << QStringLiteral("/€/")
        << QByteArray("[Application]\nPathToPalettes=\xDC\nLanguage=0\n");
    QTest::newRow("byte order mark kept")
        << QByteArray("\xEF\xBB\xBF[Application]\nLanguage=1\n") << 0 << QStringLiteral("/p/")
        << QByteArray("\xEF\xBB\xBF[Application]\nLanguage=0\nPathToPalettes=/p/\n");
}

void TestIniFile::writesKeepingOtherLines()
{
    QFETCH(QByteArray, before);
    QFETCH(int, language);
    QFETCH(QString, path);
    QFETCH(QByteArray, after);
    const QString fileName = FDir.filePath(QStringLiteral("write.ini"));
    QFile::remove(fileName);
    if (!before.isNull()) {
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(before);
    }
    TIniFile ini(fileName);
    ini.WriteInteger(QStringLiteral("Application"), QStringLiteral("Language"), language);
    try {
        ini.WriteString(QStringLiteral("Application"), QStringLiteral("PathToPalettes"), path);
        QVERIFY(ini.CanHold(path));
    } catch (const EZLT_Error& e) {
        QVERIFY2(!ini.CanHold(path), qPrintable(e.Message()));
    }
    ini.UpdateFile();
    QCOMPARE(ReadFile(fileName), after);
}

void TestIniFile::writeFailureNamesTheFile()
{
    const QString fileName = FDir.filePath(QStringLiteral("missing-folder/Trevasc.ini"));
    TIniFile ini(fileName);
    ini.WriteInteger(QStringLiteral("Application"), QStringLiteral("Language"), 1);
    try {
        ini.UpdateFile();
        QFAIL("writing into a missing folder succeeded");
    } catch (const EZLT_File& e) {
        QVERIFY2(e.Message().contains(fileName), qPrintable(e.Message()));
    }
    QVERIFY(!QFile::exists(fileName));
}

void TestIniFile::writeFailureGivesTheReason_data()
{
    QTest::addColumn<bool>("folderExists");
    QTest::addColumn<long>("sizeLimit"); // the writer's file size limit; 0: none
    QTest::addColumn<int>("error");
    QTest::newRow("missing folder") << false << 0L << ENOENT;
    // A settings file larger than the limit is cut short by the system.
    QTest::newRow("file size limit") << true << 4096L << EFBIG;
}

void TestIniFile::writeFailureGivesTheReason()
{
    QFETCH(bool, folderExists);
    QFETCH(long, sizeLimit);
    QFETCH(int, error);
    const QString folder = FDir.filePath(QString::fromUtf8(QTest::currentDataTag()));
    if (folderExists)
        QVERIFY(QDir().mkpath(folder));
    const QString fileName = folder + QStringLiteral("/Trevasc.ini");
    TIniFile ini(fileName);
    for (int i = 0; i < 400; ++i)
        ini.WriteString(QStringLiteral("Recent"), QStringLiteral("File%1").arg(i),
                        QStringLiteral("/home/someone/catalogs/show %1.cat").arg(i));
    // In a child process, where the size limit binds only the write.
    int fds[2];
    QVERIFY(::pipe(fds) == 0);
    const pid_t pid = ::fork();
    QVERIFY(pid >= 0);
    if (pid == 0) {
        ::close(fds[0]);
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{rlim_t(sizeLimit), rlim_t(sizeLimit)};
        QByteArray outcome;
        if (sizeLimit > 0 && ::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            outcome = "no limit";
        } else {
            try {
                ini.UpdateFile();
                outcome = "written";
            } catch (const EZLT_File& e) {
                outcome = QByteArray::number(e.Errno()) + ' ' + e.Message().toUtf8();
            }
        }
        [[maybe_unused]] const ssize_t n = ::write(fds[1], outcome.constData(), size_t(outcome.size()));
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray outcome;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        outcome.append(buffer, n);
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
    if (outcome == "no limit")
        QSKIP("cannot set a file size limit here");
    const QString message = QString::fromUtf8(outcome);
    QVERIFY2(message.startsWith(QString::number(error) + QLatin1Char(' ')), qPrintable(message));
    QVERIFY2(message.contains(fileName), qPrintable(message));
    QVERIFY2(message.endsWith(QString::fromLocal8Bit(std::strerror(error))), qPrintable(message));
    QVERIFY(!QFile::exists(fileName));
}

void TestIniFile::programStartsWithTheFileSettings_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("fileMenu");
    QTest::newRow("German") << QByteArray(
                                   "[Application]\r\nLanguage=1\r\nPathToPalettes=C:\\laser\\pal\\\r\n")
                            << 1 << QStringLiteral("C:\\laser\\pal\\") << QStringLiteral("&Datei");
    QTest::newRow("seven means English") << QByteArray("[Application]\nLanguage=7\n") << 7
                                         << QStringLiteral("C:\\laser\\") << QStringLiteral("&File");
    QTest::newRow("minus one means English") << QByteArray("[Application]\nLanguage=-1\n") << -1
                                             << QStringLiteral("C:\\laser\\") << QStringLiteral("&File");
}

void TestIniFile::programStartsWithTheFileSettings()
{
    QFETCH(QByteArray, text);
    QFETCH(int, language);
    QFETCH(QString, path);
    QFETCH(QString, fileMenu);
    WriteIni(text);
    StartProgram();
    QCOMPARE(MainForm->Language, language);
    QCOMPARE(MainForm->PalettePath, path);
    QCOMPARE(MainForm->menuBar()->actions().at(0)->text(), fileMenu);
}

void TestIniFile::programEndRewritesTheFileUnchanged_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("Windows file") << QByteArray(
        "[Application]\r\nLanguage=1\r\nPathToPalettes=C:\\laser\\pal\\\r\n");
    QTest::newRow("seven") << QByteArray("[Application]\nLanguage=7\nPathToPalettes=C:\\laser\\\n");
    QTest::newRow("minus one") << QByteArray("[Application]\nLanguage=-1\nPathToPalettes=/home/u/pal/\n");
    QTest::newRow("German letters") << QByteArray("[Application]\nLanguage=0\nPathToPalettes=/Überblick/\n");
    QTest::newRow("old Mac line breaks")
        << QByteArray("[Window]\rLeft=5\r\r[Application]\rLanguage=1\rPathToPalettes=/p/\r");
}

void TestIniFile::programEndRewritesTheFileUnchanged()
{
    QFETCH(QByteArray, text);
    WriteIni(text);
    StartProgram();
    QVERIFY(MainForm->close());
    QCOMPARE(ReadFile(IniPath()), text);
    QVERIFY(Errors().isEmpty());
}

void TestIniFile::firstEndCreatesTheFile()
{
    StartProgram();
    QVERIFY(!QFile::exists(IniPath()));
    QVERIFY(MainForm->close());
    QCOMPARE(ReadFile(IniPath()), QByteArray("[Application]\nLanguage=0\nPathToPalettes=C:\\laser\\\n"));
    QCOMPARE(QFileInfo(IniPath()).absolutePath(), QCoreApplication::applicationDirPath());
}

QTEST_MAIN(TestIniFile)
#include "tst_shell_inifile.moc"
