// Where the settings live: beside a program that runs from a folder of its
// own, otherwise in the user's configuration folder, and what happens when
// that folder cannot be made.

#include "SettingsLocation.h"
#include "ShellTestKit.h"

#include <QStandardPaths>
#include <QTemporaryDir>

#include <unistd.h>

using namespace ShellTestKit;

class TestSettingsLocation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void settingsFileByFolder_data();
    void settingsFileByFolder();
    void installFolderKeepsSettingsPerUser();
    void uncreatableUserFolderIsReportedAtExit();

private:
    QTemporaryDir FDir;
};

namespace {
const QByteArray German = "[Application]\nLanguage=1\nPathToPalettes=/pal/\n";
const QByteArray Defaults = "[Application]\nLanguage=0\nPathToPalettes=C:\\laser\\\n";

void Write(const QString& fileName, const QByteArray& bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(fileName).absolutePath()));
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Ends the program through its close box, which writes the settings.
void CloseProgram()
{
    QVERIFY(MainForm->close());
    EndProgram();
}
} // namespace

void TestSettingsLocation::initTestCase()
{
    // As main() names the program: the per-user folder is <config>/Trevasc.
    QCoreApplication::setApplicationName(QStringLiteral("Trevasc"));
    QCoreApplication::setOrganizationName(QString());
}

void TestSettingsLocation::cleanup()
{
    if (MainForm)
        EndProgram();
    const QString program = FDir.filePath(QStringLiteral("program"));
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QDir(program).removeRecursively();
    QDir(FDir.filePath(QStringLiteral("config"))).removeRecursively();
    SettingsLocation::ProgramFolderOverride.clear();
    qunsetenv("XDG_CONFIG_HOME");
}

void TestSettingsLocation::settingsFileByFolder_data()
{
    QTest::addColumn<QString>("programFolder");   // "missing", "writable", "read-only"
    QTest::addColumn<QByteArray>("besideBefore"); // null: no file beside the program
    QTest::addColumn<QByteArray>("userBefore");   // null: no per-user file
    QTest::addColumn<bool>("beside");             // the file used is the one beside the program
    QTest::addColumn<int>("language");            // as read at start

    const QByteArray none;
    QTest::newRow("writable folder, first start") << "writable" << none << none << true << 0;
    QTest::newRow("writable folder with settings") << "writable" << German << none << true << 1;
    QTest::newRow("a portable copy's settings win over the user's")
        << "writable" << German << Defaults << true << 1;
    QTest::newRow("folder that cannot be written, first start") << "missing" << none << none << false << 0;
    QTest::newRow("user's settings") << "missing" << none << German << false << 1;
    QTest::newRow("read-only folder with settings") << "read-only" << German << none << true << 1;
    QTest::newRow("read-only folder without settings") << "read-only" << none << German << false << 1;
}

void TestSettingsLocation::settingsFileByFolder()
{
    QFETCH(QString, programFolder);
    QFETCH(QByteArray, besideBefore);
    QFETCH(QByteArray, userBefore);
    QFETCH(bool, beside);
    QFETCH(int, language);

    const QString program = FDir.filePath(QStringLiteral("program"));
    const QString besideFile = program + QStringLiteral("/Trevasc.ini");
    const QString userFile = FDir.filePath(QStringLiteral("config/Trevasc/Trevasc.ini"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(FDir.filePath(QStringLiteral("config"))));
    SettingsLocation::ProgramFolderOverride = program;
    if (programFolder != QLatin1String("missing"))
        QVERIFY(QDir().mkpath(program));
    if (!besideBefore.isNull())
        Write(besideFile, besideBefore);
    if (!userBefore.isNull())
        Write(userFile, userBefore);
    if (programFolder == QLatin1String("read-only")) {
        if (::geteuid() == 0 && besideBefore.isNull())
            QSKIP("an administrator may write into any folder");
        QVERIFY(QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }

    const QString used = beside ? besideFile : userFile;
    const QString other = beside ? userFile : besideFile;
    const QByteArray otherBefore = beside ? userBefore : besideBefore;
    QCOMPARE(TMainForm::IniFileName(), used);

    StartProgram();
    QCOMPARE(MainForm->Language, language);
    QCOMPARE(MainForm->FileNew1->text(), language == 1 ? QStringLiteral("&Neu") : QStringLiteral("&New"));
    CloseProgram();

    if (programFolder == QLatin1String("read-only") && ::geteuid() != 0) {
        // Kept in use as before: the write fails and is reported.
        QCOMPARE(Errors().size(), 1);
        QVERIFY2(Errors()[0].contains(besideFile), qPrintable(Errors()[0]));
        QCOMPARE(ReadFile(besideFile), besideBefore);
    } else {
        QCOMPARE(Errors(), QStringList());
        // The same bytes as the file read, or the defaults on a first start.
        const QByteArray before = beside ? besideBefore : userBefore;
        QCOMPARE(ReadFile(used), before.isNull() ? Defaults : before);
    }
    // The other place is left as it was.
    QCOMPARE(QFile::exists(other), !otherBefore.isNull());
    if (!otherBefore.isNull())
        QCOMPARE(ReadFile(other), otherBefore);
}

void TestSettingsLocation::installFolderKeepsSettingsPerUser()
{
    // The folder the package installs into, even when this user may write
    // there (an administrator): settings go to the user's folder.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(FDir.filePath(QStringLiteral("config"))));
    const QStringList installed = SettingsLocation::InstallFolders();
    QVERIFY(!installed.isEmpty());
    for (const QString& folder : installed) {
        if (QFile::exists(folder + QStringLiteral("/Trevasc.ini")))
            continue; // a settings file there is used, as for any folder
        SettingsLocation::ProgramFolderOverride = folder;
        QCOMPARE(TMainForm::IniFileName(), FDir.filePath(QStringLiteral("config/Trevasc/Trevasc.ini")));
    }
}

void TestSettingsLocation::uncreatableUserFolderIsReportedAtExit()
{
    // The configuration folder's place is taken by a file: no folder can be made there.
    const QString blocker = FDir.filePath(QStringLiteral("config"));
    Write(blocker, "not a folder");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker));
    SettingsLocation::ProgramFolderOverride = FDir.filePath(QStringLiteral("program"));

    StartProgram();
    QCOMPARE(MainForm->Language, 0);
    MainForm->FileNew1->trigger(); // the program works as usual
    QCOMPARE(MainForm->MDIChildCount(), 1);
    MainForm->ActiveMDIChild()->Modified = false;
    CloseProgram();

    QCOMPARE(Errors().size(), 1);
    QVERIFY2(Errors()[0].contains(blocker + QStringLiteral("/Trevasc")), qPrintable(Errors()[0]));
    QCOMPARE(ReadFile(blocker), QByteArray("not a folder"));
    QVERIFY(!QFile::exists(FDir.filePath(QStringLiteral("program"))));
    QFile::remove(blocker);
}

QTEST_MAIN(TestSettingsLocation)
#include "tst_shell_settingslocation.moc"
