// File names that are not UTF-8: every byte comes back from the text the
// program keeps, and every reader and writer of frame files reaches the very
// file of that name.

#include "DataTestSupport.h"
#include "ZLT_FileNames.h"
#include "ZLT_Files.h"
#include "ZLT_Ilda.h"
#include "ZLT_Palette.h"

#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TestFileNames : public QObject
{
    Q_OBJECT

private slots:
    void bytesComeBack_data();
    void bytesComeBack();
    void framesReachTheFile_data();
    void framesReachTheFile();
    void folderListing();
};

namespace {
QByteArray FileBytes(const QByteArray& path)
{
    QByteArray data;
    const int fd = ::open(path.constData(), O_RDONLY);
    if (fd < 0)
        return "(missing)";
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        data.append(buffer, n);
    ::close(fd);
    return data;
}
} // namespace

void TestFileNames::bytesComeBack_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("foreign"); // Qt's own file classes cannot reach it

    QTest::newRow("ASCII") << QByteArray("/tmp/plain.cat") << false;
    QTest::newRow("UTF-8 umlaut") << QByteArray("/tmp/L\xC3\xA4ser.cat") << false;
    QTest::newRow("UTF-8 beyond the plane") << QByteArray("/tmp/\xF0\x9F\x98\x80.cat") << false;
    QTest::newRow("byte order mark first") << QByteArray("\xEF\xBB\xBF"
                                                         "a")
                                           << false;
    QTest::newRow("Latin-1 umlaut") << QByteArray("/tmp/L\xE4ser.cat") << true;
    QTest::newRow("cut sequence") << QByteArray("a\xC3") << true;
    QTest::newRow("overlong slash") << QByteArray("a\xC0\xAF"
                                                  "b")
                                    << true;
    QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80\xED\xB3\xA4") << true;
    QTest::newRow("beyond Unicode") << QByteArray("\xF4\x90\x80\x80") << true;
    QTest::newRow("every high byte") << [] {
        QByteArray all;
        for (int b = 0x80; b < 0x100; ++b)
            all += char(b);
        return all;
    }() << true;
    QTest::newRow("mixed") << QByteArray("\xC3\xA4\xE4\xC3\xA4\xFF") << true;
}

void TestFileNames::bytesComeBack()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, foreign);
    const QString name = ZLT_FileNames::Decode(bytes);
    QCOMPARE(ZLT_FileNames::Encode(name), bytes);
    QCOMPARE(ZLT_FileNames::HasForeignBytes(name), foreign);
    if (!foreign)
        QCOMPARE(name.toUtf8(), bytes); // plain text
    // Through a URL, as the settings file and drops carry it.
    const QByteArray path = bytes.startsWith('/') ? bytes : '/' + bytes;
    QCOMPARE(ZLT_FileNames::Encode(ZLT_FileNames::FromUrl(ZLT_FileNames::ToUrl(ZLT_FileNames::Decode(path)))),
             path);
}

void TestFileNames::framesReachTheFile_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("Latin-1") << QByteArray("L\xE4ser");
    QTest::newRow("UTF-8") << QByteArray("L\xC3\xA4ser");
    QTest::newRow("both, side by side") << QByteArray("\xC3\xA4\xE4");
}

void TestFileNames::framesReachTheFile()
{
    QFETCH(QByteArray, name);
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + '/';
    // A file of the UTF-8 look-alike beside it must stay untouched.
    const QByteArray alike = folder + QFile::encodeName(ZLT_FileNames::Decode(name)) + ".cat";
    if (alike != folder + name + ".cat")
        QCOMPARE(::close(::open(alike.constData(), O_WRONLY | O_CREAT, 0600)), 0);

    TZLT_Cat cat;
    cat.Frames.SetFrame(3, [] {
        auto frame = std::make_unique<TZLT_Frame>();
        for (int i = 0; i < 5; ++i)
            frame->Add(TZLT_Point(int16_t(i * 100), int16_t(-i), 0, uint8_t(i + 1), 0));
        return frame;
    }());
    const TZLT_Frame& frame = cat.Frames.GetFrame(3);
    const QString catalog = ZLT_FileNames::Decode(folder + name + ".cat");
    const QString picture = ZLT_FileNames::Decode(folder + name + ".pic");
    const QString exported = ZLT_FileNames::Decode(folder + name + "-export.pic");
    const QString ilda = ZLT_FileNames::Decode(folder + name + ".ild");

    QVERIFY(!ZLT_Files::FileExists(catalog));
    cat.SaveToFile(catalog);
    QVERIFY(ZLT_Files::FileExists(catalog));
    cat.SaveToFile(catalog); // replacing it
    frame.SaveToPicFile(picture);
    frame.ExportToPicFile(exported);
    ZLT_Files::SyncFolder(ZLT_FileNames::Decode(folder.chopped(1)));
    ZLT_Files::WriteFileAtomically(catalog + QStringLiteral(".copy"), ZLT_Files::ReadWholeFile(catalog));
    TZLT_FrameList frames;
    frames.Add(frame.Clone());
    ZLT_Ilda::WriteFile(ilda, frames, 0, 1, TZLT_Pal(), ZLT_Ilda::TFormat::TrueColor3D);

    // The files carry the very bytes of the name, and read back.
    QCOMPARE(FileBytes(folder + name + ".cat"), FileBytes(folder + name + ".cat.copy"));
    QVERIFY(FileBytes(folder + name + ".cat").size() > 8);
    QCOMPARE(FileBytes(folder + name + ".pic"), FileBytes(folder + name + "-export.pic"));
    QVERIFY(FileBytes(folder + name + ".ild").startsWith("ILDA"));
    TZLT_Cat loaded;
    loaded.LoadFromFile(catalog);
    QCOMPARE(loaded.Frames.GetFrame(3), frame);
    TZLT_Frame fromPicture;
    fromPicture.LoadFromPicFile(picture);
    QCOMPARE(fromPicture.Count(), frame.Count());
    QCOMPARE(ZLT_Ilda::ReadFile(ilda, TZLT_Pal()).Frames.Count(), 1);
    if (alike != folder + name + ".cat")
        QCOMPARE(FileBytes(alike), QByteArray());
    // No temporary file left behind.
    QCOMPARE(ZLT_FileNames::FilesIn(ZLT_FileNames::Decode(folder)).size(),
             alike != folder + name + ".cat" ? 6 : 5);
}

void TestFileNames::folderListing()
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + "/\xE4";
    QCOMPARE(::mkdir(folder.constData(), 0700), 0);
    const QList<QByteArray> names{"L\xE4ser.pic", "plain.pic", "\xFF"};
    for (const QByteArray& name : names)
        QCOMPARE(::close(::open((folder + '/' + name).constData(), O_WRONLY | O_CREAT, 0600)), 0);
    QCOMPARE(::mkdir((folder + "/sub\xE4.pic").constData(), 0700), 0);
    QCOMPARE(::symlink("plain.pic", (folder + "/link\xE4.pic").constData()), 0);
    QCOMPARE(::symlink("sub\xE4.pic", (folder + "/linked folder").constData()), 0);

    QVERIFY(ZLT_FileNames::IsDirectory(ZLT_FileNames::Decode(folder)));
    QStringList listed = ZLT_FileNames::FilesIn(ZLT_FileNames::Decode(folder));
    QList<QByteArray> bytes;
    for (const QString& name : listed)
        bytes << ZLT_FileNames::Encode(name);
    std::sort(bytes.begin(), bytes.end());
    QList<QByteArray> expected = names;
    expected << "link\xE4.pic";
    std::sort(expected.begin(), expected.end());
    QCOMPARE(bytes, expected);
    QCOMPARE(ZLT_FileNames::Canonical(ZLT_FileNames::Decode(folder + "/link\xE4.pic")),
             ZLT_FileNames::Decode(QFile::encodeName(QDir(dir.path()).canonicalPath()) + "/\xE4/plain.pic"));
}

QTEST_GUILESS_MAIN(TestFileNames)
#include "tst_data_filenames.moc"
