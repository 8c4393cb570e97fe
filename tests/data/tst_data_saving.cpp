// Saving is atomic: a save that fails for any reason leaves the old file
// byte for byte and raises an error naming the file and the reason, and
// keeps the system's error number for it. The same holds for each file of a
// bulk picture export and for ILDA files.

#include "DataTestSupport.h"

#include "ZLT_Files.h"
#include "ZLT_Ilda.h"

#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

#include <csignal>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace DataTest;

namespace {

// What is saved: a catalog, a single frame as a picture file, a picture
// file of a bulk export, or an ILDA file in true colour or indexed.
enum class Kind
{
    Catalog,
    Picture,
    Export,
    IldaTrueColor,
    IldaIndexed
};

bool IsIlda(Kind kind)
{
    return kind == Kind::IldaTrueColor || kind == Kind::IldaIndexed;
}

// Saves something of the kind that is larger than any old file used here.
void SaveSomething(Kind kind, const QString& fileName, int points = 3000)
{
    auto frame = std::make_unique<TZLT_Frame>();
    for (int i = 0; i < points; ++i)
        frame->Add(TZLT_Point(int16_t(i), int16_t(-i), 1, 2, 3));
    if (kind == Kind::Picture) {
        frame->SaveToPicFile(fileName);
        return;
    }
    if (kind == Kind::Export) {
        frame->ExportToPicFile(fileName);
        return;
    }
    TZLT_Cat cat;
    cat.Frames.SetFrame(100, std::move(frame));
    if (IsIlda(kind))
        ZLT_Ilda::WriteFile(fileName, cat.Frames, 0, cat.Frames.Count(), TZLT_Pal(),
                            kind == Kind::IldaIndexed ? ZLT_Ilda::TFormat::Indexed3D
                                                      : ZLT_Ilda::TFormat::TrueColor3D);
    else
        cat.SaveToFile(fileName);
}

// The size of what SaveSomething writes for points points.
qsizetype SavedSize(Kind kind, int points)
{
    switch (kind) {
    case Kind::Catalog:
        return 98301 + 8 * points;
    case Kind::IldaTrueColor:
        return 32 + 10 * points + 32;
    case Kind::IldaIndexed:
        return 32 + 3 * 64 + 32 + 8 * points + 32;
    default:
        return 14 + 8 * points;
    }
}

QByteArray OldBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 5000; ++i)
        bytes.append(char(i * 7));
    return bytes;
}

// Everything in a folder, so a temporary file left behind shows.
QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Checks the outcome of a failed save; returns an empty string when right.
QString CheckFailure(const QString& message, const QString& fileName, const QString& reason)
{
    if (message.isNull())
        return QStringLiteral("the save raised nothing");
    if (!message.contains(QLatin1Char('\'') + fileName + QLatin1Char('\'')))
        return QStringLiteral("the message does not name the file: ") + message;
    if (!message.contains(reason))
        return QStringLiteral("the message does not say '%1': %2").arg(reason, message);
    if (ReadBytes(fileName) != OldBytes())
        return QStringLiteral("the old file changed");
    if (Entries(QFileInfo(fileName).path()) != QStringList(QFileInfo(fileName).fileName()))
        return QStringLiteral("left behind: ") + Entries(QFileInfo(fileName).path()).join(QLatin1Char(' '));
    return QString();
}

// The message and the error number of the EZLT_File that f raises.
QString FileErrorOf(const std::function<void()>& f, int& error)
{
    error = -1;
    try {
        f();
    } catch (const EZLT_File& e) {
        error = e.Errno();
        return e.Message();
    }
    return QString();
}

// Saves, expecting the failure of the system's error number error.
QString SaveAndCheck(Kind kind, const QString& fileName, int error)
{
    int raised = 0;
    const QString message = FileErrorOf([&] { SaveSomething(kind, fileName); }, raised);
    QString result = CheckFailure(message, fileName, QString::fromLocal8Bit(std::strerror(error)));
    if (result.isEmpty() && raised != error)
        result = QStringLiteral("the error keeps the number %1, not %2").arg(raised).arg(error);
    if (result.isEmpty() && !Messages().isEmpty())
        result = QStringLiteral("console output: ") + Messages().join(QLatin1Char(' '));
    return result;
}

bool WriteText(const char* path, const QByteArray& text)
{
    const int fd = ::open(path, O_WRONLY);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.constData(), size_t(text.size())) == text.size();
    ::close(fd);
    return ok;
}

bool SyncFailsWithEio(int)
{
    errno = EIO;
    return false;
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestSaving : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { CheckNoMessages(); }

    void saveReplacesTheOldFile_data() { Kinds(); }
    void saveReplacesTheOldFile();
    void directoryInTheFilesPlace_data() { Kinds(); }
    void directoryInTheFilesPlace();
    void readOnlyFolder_data() { Kinds(); }
    void readOnlyFolder();
    void fullFileSystem_data() { Kinds(); }
    void fullFileSystem();
    void failingSync_data() { Kinds(); }
    void failingSync();
    void fileSizeLimit_data() { Kinds(); }
    void fileSizeLimit();
    void frameTooLongForTheFile_data() { Kinds(); }
    void frameTooLongForTheFile();

private:
    static void Kinds();
    // A fresh folder holding only the old file; returns the file's name.
    QString FolderWithOldFile(const QString& folder);
    QTemporaryDir FDir;
    int FCase = 0;
};

void TestSaving::Kinds()
{
    QTest::addColumn<Kind>("kind");
    QTest::newRow("catalog") << Kind::Catalog;
    QTest::newRow("picture") << Kind::Picture;
    QTest::newRow("exported picture") << Kind::Export;
    QTest::newRow("ILDA true colour") << Kind::IldaTrueColor;
    QTest::newRow("ILDA indexed") << Kind::IldaIndexed;
}

void TestSaving::initTestCase()
{
    InstallMessageTrap();
    QVERIFY(FDir.isValid());
    // Other users must reach the folders below (see readOnlyFolder).
    QVERIFY(QFile::setPermissions(FDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                   QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                   QFile::ExeOther));
}

void TestSaving::init()
{
    ++FCase;
}

QString TestSaving::FolderWithOldFile(const QString& folder)
{
    const QString path = FDir.filePath(QStringLiteral("%1-%2").arg(folder).arg(FCase));
    QDir().mkpath(path);
    const QString name = path + QStringLiteral("/old file");
    WriteBytes(name, OldBytes());
    return name;
}

void TestSaving::saveReplacesTheOldFile()
{
    QFETCH(Kind, kind);
    const QString name = FolderWithOldFile(QStringLiteral("replace"));
    SaveSomething(kind, name, 10);
    const QByteArray bytes = ReadBytes(name);
    QCOMPARE(bytes.size(), SavedSize(kind, 10));
    QVERIFY(bytes != OldBytes());
    QCOMPARE(Entries(QFileInfo(name).path()), QStringList(QStringLiteral("old file")));
}

void TestSaving::directoryInTheFilesPlace()
{
    QFETCH(Kind, kind);
    const QString name = FDir.filePath(QStringLiteral("folder-%1").arg(FCase));
    QVERIFY(QDir().mkpath(name + QStringLiteral("/inside")));
    const QString message = MessageOf<EZLT_File>([&] { SaveSomething(kind, name); });
    QVERIFY2(message.contains(QLatin1Char('\'') + name + QLatin1Char('\'')), qPrintable(message));
    QVERIFY2(message.contains(QLatin1String("directory")), qPrintable(message));
    QVERIFY(QFileInfo(name).isDir());
    QCOMPARE(Entries(name), QStringList(QStringLiteral("inside")));
}

void TestSaving::readOnlyFolder()
{
    QFETCH(Kind, kind);
    const QString name = FolderWithOldFile(QStringLiteral("read-only"));
    const QString folder = QFileInfo(name).path();
    // The old file itself may be written: only the folder refuses new files.
    QVERIFY(QFile::setPermissions(name, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                            QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                              QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    // The superuser writes anywhere: as root this runs as the user "nobody".
    const QString result = RunUnprivileged([&]() -> QString {
        if (::access(QFile::encodeName(name).constData(), R_OK) != 0)
            return QStringLiteral("SKIP the unprivileged user cannot reach the test folder");
        if (::access(QFile::encodeName(folder).constData(), W_OK) == 0)
            return QStringLiteral("SKIP this user may write into a read-only folder");
        return SaveAndCheck(kind, name, EACCES);
    });
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    DATATEST_VERDICT(result);
    QCOMPARE(ReadBytes(name), OldBytes());
}

void TestSaving::fullFileSystem()
{
    QFETCH(Kind, kind);
    // A small file system of our own, mounted in a private user and mount
    // namespace, which needs no privileges where the kernel allows it.
    const QString mountPoint = FDir.filePath(QStringLiteral("full-%1").arg(FCase));
    QVERIFY(QDir().mkpath(mountPoint));
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    const QString result = RunInChild([&]() -> QString {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return QStringLiteral("SKIP no private mount namespace here (%1): a small full file system "
                                  "cannot be made without privileges")
                .arg(QString::fromLocal8Bit(std::strerror(errno)));
        if (!WriteText("/proc/self/setgroups", "deny") ||
            !WriteText("/proc/self/uid_map", QByteArray("0 ") + QByteArray::number(uid) + " 1") ||
            !WriteText("/proc/self/gid_map", QByteArray("0 ") + QByteArray::number(gid) + " 1"))
            return QStringLiteral("SKIP cannot map the user into the namespace");
        if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("trevasc-test", QFile::encodeName(mountPoint).constData(), "tmpfs", 0,
                    "size=256k,mode=0700") != 0)
            return QStringLiteral("SKIP cannot mount a small file system: ") +
                   QString::fromLocal8Bit(std::strerror(errno));

        const QString name = mountPoint + QStringLiteral("/old file");
        WriteBytes(name, OldBytes());
        // Fill every block that is left.
        {
            QFile filler(mountPoint + QStringLiteral("/filler"));
            if (!filler.open(QIODevice::WriteOnly))
                return QStringLiteral("cannot create the filler file");
            const QByteArray block(4096, 'f');
            int blocks = 0;
            while (filler.write(block) == block.size() && filler.flush() && ++blocks < 1000) {
            }
            if (blocks >= 1000)
                return QStringLiteral("the small file system never filled up");
            filler.close();
            Messages().clear();
        }
        int error = 0;
        const QString message = FileErrorOf([&] { SaveSomething(kind, name); }, error);
        QFile::remove(mountPoint + QStringLiteral("/filler"));
        QString outcome = CheckFailure(message, name, QString::fromLocal8Bit(std::strerror(ENOSPC)));
        if (outcome.isEmpty() && error != ENOSPC)
            outcome = QStringLiteral("the error keeps the number %1, not ENOSPC").arg(error);
        if (outcome.isEmpty() && !Messages().isEmpty())
            outcome = QStringLiteral("console output: ") + Messages().join(QLatin1Char(' '));
        return outcome;
    });
    DATATEST_VERDICT(result);
}

void TestSaving::failingSync()
{
    QFETCH(Kind, kind);
    if (kind == Kind::Export)
        QSKIP("a bulk export syncs its folder once, after the last file");
    // A disk may report a write error only when the data is synced.
    const QString name = FolderWithOldFile(QStringLiteral("sync"));
    const ZLT_Files::SyncFunction old = ZLT_Files::SetSyncFunction(&SyncFailsWithEio);
    const QString result = SaveAndCheck(kind, name, EIO);
    ZLT_Files::SetSyncFunction(old);
    QVERIFY2(result.isEmpty(), qPrintable(result));
}

void TestSaving::fileSizeLimit()
{
    QFETCH(Kind, kind);
    // The limit a shell's ulimit -f sets: a write beyond it fails (the
    // program ignores the signal that would otherwise end it).
    const QString name = FolderWithOldFile(QStringLiteral("limit"));
    const QString result = RunInChild([&]() -> QString {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8192, 8192};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return QStringLiteral("SKIP cannot set a file-size limit");
        return SaveAndCheck(kind, name, EFBIG);
    });
    DATATEST_VERDICT(result);
    QCOMPARE(ReadBytes(name), OldBytes());
}

void TestSaving::frameTooLongForTheFile()
{
    QFETCH(Kind, kind);
    // 65536 points cannot be counted in 16 bits; writing them would corrupt the file.
    const QString name = FolderWithOldFile(QStringLiteral("long"));
    auto frame = std::make_unique<TZLT_Frame>();
    frame->AllPoints().assign(65536, TZLT_Point(1, 2, 3, 4, 5));
    QString message;
    if (kind == Kind::Picture) {
        message = MessageOf<EZLT_File>([&] { frame->SaveToPicFile(name); });
    } else if (kind == Kind::Export) {
        message = MessageOf<EZLT_File>([&] { frame->ExportToPicFile(name); });
    } else {
        TZLT_Cat cat;
        cat.Frames.SetFrame(3, std::move(frame));
        message = MessageOf<EZLT_File>([&] {
            if (IsIlda(kind))
                ZLT_Ilda::WriteFile(name, cat.Frames, 0, cat.Frames.Count(), TZLT_Pal(),
                                    ZLT_Ilda::TFormat::TrueColor3D);
            else
                cat.SaveToFile(name);
        });
    }
    const QString result = CheckFailure(message, name, QStringLiteral("65536"));
    QVERIFY2(result.isEmpty(), qPrintable(result));
}

QTEST_GUILESS_MAIN(TestSaving)
#include "tst_data_saving.moc"
