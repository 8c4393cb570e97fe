// Every loader's failure the user can meet ends in an exception whose
// message names the file, leaves the data as it was and prints nothing.
// Huge files cost no more memory than the frames they hold, and an ILDA
// file is never read as a catalog or picture.

#include "DataTestSupport.h"
#include "ZLT_Ilda.h"

#include <QDir>
#include <QObject>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace DataTest;

namespace {

enum class Loader
{
    Catalog,
    Picture,
    Palette,
    Ilda
};

// Loads fileName with the loader into data that is not the loader's
// default, checks the data did not change, and returns the error message
// (null when nothing was raised).
QString LoadAndKeep(Loader loader, const QString& fileName, QString& problem)
{
    QString message;
    switch (loader) {
    case Loader::Catalog: {
        TZLT_Cat cat;
        cat.Frames.GetFrame(9).Add(TZLT_Point(1, 2, 3, 4, 5));
        message = MessageOf<EZLT_Error>([&] { cat.LoadFromFile(fileName); });
        if (cat.Frames.Count() != TZLT_Cat::SlotCount || cat.Frames.GetFrame(9).Count() != 1 ||
            cat.Frames.GetFrame(0).Count() != 0)
            problem = QStringLiteral("the catalog changed");
        break;
    }
    case Loader::Picture: {
        TZLT_Frame frame;
        frame.Add(TZLT_Point(1, 2, 3, 4, 5));
        message = MessageOf<EZLT_Error>([&] { frame.LoadFromPicFile(fileName); });
        if (frame.Count() != 1 || frame.GetPoint(0) != TZLT_Point(1, 2, 3, 4, 5))
            problem = QStringLiteral("the frame changed");
        break;
    }
    case Loader::Palette: {
        QByteArray bytes(576, '\x11');
        TZLT_Pal pal;
        pal.LoadFromBytes(bytes, QStringLiteral("start"));
        const TZLT_Pal before = pal;
        message = MessageOf<EZLT_Error>([&] { pal.LoadFromFile(fileName); });
        if (!(pal == before))
            problem = QStringLiteral("the palette changed");
        break;
    }
    case Loader::Ilda:
        message = MessageOf<EZLT_Error>([&] { ZLT_Ilda::ReadFile(fileName, TZLT_Pal()); });
        break;
    }
    return message;
}

QString Verdict(Loader loader, const QString& fileName)
{
    QString problem;
    const QString message = LoadAndKeep(loader, fileName, problem);
    if (message.isNull())
        return QStringLiteral("nothing was raised");
    if (!message.contains(QLatin1Char('\'') + fileName + QLatin1Char('\'')))
        return QStringLiteral("the message does not name the file: ") + message;
    if (!problem.isEmpty())
        return problem;
    if (!Messages().isEmpty())
        return QStringLiteral("console output: ") + Messages().join(QLatin1Char(' '));
    return QString();
}

} // namespace

Q_DECLARE_METATYPE(Loader)

class TestErrors : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { CheckNoMessages(); }

    void missingFile_data() { Loaders(); }
    void missingFile();
    void directory_data() { Loaders(); }
    void directory();
    void device_data() { Loaders(); }
    void device();
    void pipe_data() { Loaders(); }
    void pipe();
    void unreadableFile_data() { Loaders(); }
    void unreadableFile();
    void shortFile_data();
    void shortFile();
    void hugeSparseFile_data();
    void hugeSparseFile();
    void ildaFileUnderAnotherName_data();
    void ildaFileUnderAnotherName();

private:
    static void Loaders();
    QTemporaryDir FDir;
};

void TestErrors::Loaders()
{
    QTest::addColumn<Loader>("loader");
    QTest::newRow("catalog") << Loader::Catalog;
    QTest::newRow("picture") << Loader::Picture;
    QTest::newRow("palette") << Loader::Palette;
    QTest::newRow("ILDA") << Loader::Ilda;
}

void TestErrors::initTestCase()
{
    InstallMessageTrap();
    QVERIFY(FDir.isValid());
    // The unprivileged user must reach the files below.
    QVERIFY(QFile::setPermissions(FDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                   QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                   QFile::ExeOther));
}

void TestErrors::missingFile()
{
    QFETCH(Loader, loader);
    DATATEST_VERDICT(Verdict(loader, FDir.filePath(QStringLiteral("not here"))));
}

void TestErrors::directory()
{
    QFETCH(Loader, loader);
    const QString name = FDir.filePath(QStringLiteral("a folder"));
    QVERIFY(QDir().mkpath(name));
    DATATEST_VERDICT(Verdict(loader, name));
}

void TestErrors::device()
{
    QFETCH(Loader, loader);
    // A device never ends: it must be refused, not read until memory runs out.
    if (!QFile::exists(QStringLiteral("/dev/zero")))
        QSKIP("no /dev/zero here");
    DATATEST_VERDICT(Verdict(loader, QStringLiteral("/dev/zero")));
}

void TestErrors::pipe()
{
    QFETCH(Loader, loader);
    // Opening a pipe for reading waits for a writer: it must be refused first.
    const QString name = FDir.filePath(QStringLiteral("pipe %1").arg(int(loader)));
    if (::mkfifo(QFile::encodeName(name).constData(), 0600) != 0)
        QSKIP("cannot make a named pipe here");
    DATATEST_VERDICT(Verdict(loader, name));
}

void TestErrors::unreadableFile()
{
    QFETCH(Loader, loader);
    const QString name = FDir.filePath(QStringLiteral("locked %1").arg(int(loader)));
    WriteBytes(name, QByteArray(576, '\x22'));
    QVERIFY(QFile::setPermissions(name, QFile::WriteOwner)); // no one may read it
    DATATEST_VERDICT(RunUnprivileged([&]() -> QString {
        if (::access(QFile::encodeName(FDir.path()).constData(), X_OK) != 0)
            return QStringLiteral("SKIP the unprivileged user cannot reach the test folder");
        if (::access(QFile::encodeName(name).constData(), R_OK) == 0)
            return QStringLiteral("SKIP this user may read a file without read permission");
        QString problem;
        const QString message = LoadAndKeep(loader, name, problem);
        if (!message.contains(QString::fromLocal8Bit(std::strerror(EACCES))))
            return QStringLiteral("the message does not give the reason: ") + message;
        return Verdict(loader, name);
    }));
}

void TestErrors::shortFile_data()
{
    QTest::addColumn<Loader>("loader");
    QTest::addColumn<int>("size");
    // A catalog of any length is valid; these are not.
    QTest::newRow("picture, 0 bytes") << Loader::Picture << 0;
    QTest::newRow("picture, 13 bytes") << Loader::Picture << 13;
    QTest::newRow("palette, 0 bytes") << Loader::Palette << 0;
    QTest::newRow("palette, 575 bytes") << Loader::Palette << 575;
}

void TestErrors::shortFile()
{
    QFETCH(Loader, loader);
    QFETCH(int, size);
    const QString name = FDir.filePath(QStringLiteral("short %1 %2").arg(int(loader)).arg(size));
    WriteBytes(name, QByteArray(size, '\x05'));
    DATATEST_VERDICT(Verdict(loader, name));
}

namespace {

// Two frames of three points as an ILDA file, without the end section.
QByteArray IldaFrames()
{
    TZLT_FrameList frames;
    for (int f = 0; f < 2; ++f)
        frames.Add(MakeFrame({TZLT_Point(1, 2, 3, 4, 0), TZLT_Point(5, 6, 7, 8, 0), TZLT_Point(9, 8, 7, 6, 0)}));
    const QByteArray bytes =
        ZLT_Ilda::WriteBytes(frames, 0, 2, TZLT_Pal(), ZLT_Ilda::TFormat::TrueColor3D);
    return bytes.left(bytes.size() - 32);
}

// A catalog whose slot 0 holds three points, all 32767 blocks.
QByteArray SmallCatalog()
{
    TZLT_Cat cat;
    cat.Frames.SetFrame(0, MakeFrame({TZLT_Point(1, 2, 3, 4, 5), TZLT_Point(6, 7, 8, 9, 10),
                                      TZLT_Point(-1, -2, -3, 11, 12)}));
    return cat.ToBytes();
}

} // namespace

void TestErrors::hugeSparseFile_data()
{
    QTest::addColumn<Loader>("loader");
    QTest::addColumn<QByteArray>("head"); // the file's first bytes
    QTest::addColumn<int>("gib");         // the file's size
    // A picture that promises 3 points, and a palette-sized start.
    QTest::newRow("picture") << Loader::Picture << Hex("0005000000000003000100000000") << 3;
    QTest::newRow("palette") << Loader::Palette << QByteArray(576, '\x22') << 3;
    // A catalog of all its blocks in its first 98 KiB, then zeros.
    QTest::newRow("catalog") << Loader::Catalog << SmallCatalog() << 2;
    // Two ILDA frames, then zeros where the next section would start.
    QTest::newRow("ILDA") << Loader::Ilda << IldaFrames() << 2;
    // Refused by its start, before the rest is read.
    QTest::newRow("not ILDA") << Loader::Ilda << QByteArray("ILDB") << 2;
}

void TestErrors::hugeSparseFile()
{
    QFETCH(Loader, loader);
    QFETCH(QByteArray, head);
    QFETCH(int, gib);
    // Gigabytes that take no room on disk: loading must cost no more memory
    // than the frames the file holds, whatever its size says.
    const QString name = FDir.filePath(QStringLiteral("huge %1").arg(QTest::currentDataTag()));
    WriteBytes(name, head);
    QVERIFY(QFile::resize(name, qint64(gib) << 30));
    DATATEST_VERDICT(RunInChild([&]() -> QString {
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        QString outcome;
        if (loader == Loader::Picture) {
            TZLT_Frame frame;
            frame.LoadFromPicFile(name);
            if (frame.Count() != 3 || frame.GetPoint(2) != TZLT_Point(-1, 0, -1, 0, 0))
                outcome = QStringLiteral("the picture did not load its three points");
        } else if (loader == Loader::Palette) {
            TZLT_Pal pal;
            const QString message = MessageOf<EZLT_Pal_Load>([&] { pal.LoadFromFile(name); });
            if (!message.contains(QLatin1String("Invalid File")))
                outcome = QStringLiteral("the palette was not refused: ") + message;
        } else if (loader == Loader::Catalog) {
            TZLT_Cat cat;
            cat.LoadFromFile(name);
            TZLT_Cat expected;
            expected.LoadFromBytes(head);
            for (int slot = 0; slot < TZLT_Cat::SlotCount && outcome.isEmpty(); ++slot)
                if (!(cat.Frames.GetFrame(slot) == expected.Frames.GetFrame(slot)))
                    outcome = QStringLiteral("slot %1 differs from the catalog's").arg(slot);
        } else if (head.startsWith("ILDA")) {
            const ZLT_Ilda::TReadResult result = ZLT_Ilda::ReadFile(name, TZLT_Pal());
            if (result.Frames.Count() != 2 || result.Frames.GetFrame(1).Count() != 3)
                outcome = QStringLiteral("the two frames were not read");
            else if (!result.Warning.contains(QLatin1String("does not start with \"ILDA\"")))
                outcome = QStringLiteral("no warning about the zeros: ") + result.Warning;
        } else {
            const QString message = MessageOf<EZLT_Ilda_Load>([&] { ZLT_Ilda::ReadFile(name, TZLT_Pal()); });
            if (!message.contains(QLatin1String("Not an ILDA file")))
                outcome = QStringLiteral("the file was not refused: ") + message;
        }
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        const long grownKiB = after.ru_maxrss - before.ru_maxrss;
        if (outcome.isEmpty() && grownKiB > 64 * 1024)
            outcome = QStringLiteral("loading took %1 MiB of memory").arg(grownKiB / 1024);
        return outcome;
    }));
}

void TestErrors::ildaFileUnderAnotherName_data()
{
    QTest::addColumn<Loader>("loader");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    // Read as catalogs, these would load as frames of junk points.
    QTest::newRow("catalog") << Loader::Catalog << QStringLiteral("show.cat") << IldaFrames();
    QTest::newRow("catalog, only the start") << Loader::Catalog << QStringLiteral("start.cat")
                                             << QByteArray("ILDA");
    QTest::newRow("picture") << Loader::Picture << QStringLiteral("show.pic") << IldaFrames();
}

void TestErrors::ildaFileUnderAnotherName()
{
    QFETCH(Loader, loader);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    const QString name = FDir.filePath(fileName);
    WriteBytes(name, bytes);
    QString problem;
    const QString message = LoadAndKeep(loader, name, problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY2(message.contains(QLatin1String("is an ILDA file")), qPrintable(message));
    QVERIFY2(message.contains(QLatin1Char('\'') + name + QLatin1Char('\'')), qPrintable(message));
    // Of its own type, so the program can import it instead.
    QVERIFY(!MessageOf<EZLT_Ilda_Content>([&] {
                 if (loader == Loader::Catalog)
                     TZLT_Cat().LoadFromFile(name);
                 else
                     TZLT_Frame().LoadFromPicFile(name);
             }).isNull());
}

QTEST_GUILESS_MAIN(TestErrors)
#include "tst_data_errors.moc"
