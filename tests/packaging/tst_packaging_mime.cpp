// The installed file types as the program's own toolkit resolves them. Run by
// check-install.sh, which points XDG_DATA_DIRS at a scratch MIME database made
// of the system's types, the installed ones and other programs' claims on the
// same extensions (other-programs.xml).
#include <QByteArray>
#include <QFile>
#include <QLocale>
#include <QMimeDatabase>
#include <QMimeType>
#include <QTemporaryDir>
#include <QTest>

class TestPackagingMime : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fileType_data();
    void fileType();
    void typeDetails_data();
    void typeDetails();
    void cleanup();

private:
    QTemporaryDir Dir;
};

void TestPackagingMime::initTestCase()
{
    QVERIFY2(qEnvironmentVariableIsSet("XDG_DATA_DIRS"), "run by check-install.sh with a scratch database");
    QVERIFY(Dir.isValid());
}

void TestPackagingMime::fileType_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");

    const QByteArray zeros(64, '\0');
    const QByteArray ilda = QByteArray("ILDA") + zeros;
    QTest::newRow("catalog") << "show.cat" << zeros << "application/x-zlt-catalog";
    QTest::newRow("catalog, capitals") << "SHOW.CAT" << zeros << "application/x-zlt-catalog";
    QTest::newRow("picture") << "00042.pic" << zeros << "application/x-zlt-picture";
    QTest::newRow("picture, capitals") << "FRAME.PIC" << zeros << "application/x-zlt-picture";
    QTest::newRow("palette") << "colours.pal" << QByteArray(576, '\x40') << "application/x-zlt-palette";
    QTest::newRow("palette, capitals") << "Colours.PAL" << zeros << "application/x-zlt-palette";
    QTest::newRow("ILDA by name and content") << "show.ild" << ilda << "application/x-ilda";
    QTest::newRow("ILDA by name, capitals") << "SHOW.ILD" << zeros << "application/x-ilda";
    QTest::newRow("ILDA by content alone") << "laser-show" << ilda << "application/x-ilda";
    QTest::newRow("magic is case-sensitive")
        << "laser-show" << QByteArray("ilda") + zeros << "application/octet-stream";
    QTest::newRow("magic only at the start")
        << "laser-show" << QByteArray(" ILDA") + zeros << "application/octet-stream";
}

void TestPackagingMime::fileType()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);

    QFile file(Dir.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
    file.close();
    QCOMPARE(QMimeDatabase().mimeTypeForFile(file.fileName()).name(), expected);
}

void TestPackagingMime::typeDetails_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("glob");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("german");
    QTest::addColumn<QString>("icon");

    const QString icon = QStringLiteral("org.trevasc.Trevasc");
    QTest::newRow("catalog") << "application/x-zlt-catalog"
                             << "*.cat"
                             << "ZLT frame catalog"
                             << "ZLT-Frame-Katalog" << icon;
    QTest::newRow("picture") << "application/x-zlt-picture"
                             << "*.pic"
                             << "ZLT laser frame picture"
                             << "ZLT-Laser-Frame-Bild" << icon;
    QTest::newRow("palette") << "application/x-zlt-palette"
                             << "*.pal"
                             << "ZLT colour palette"
                             << "ZLT-Farbpalette" << icon;
    QTest::newRow("ILDA") << "application/x-ilda"
                          << "*.ild"
                          << "ILDA laser show file"
                          << "ILDA-Lasershow-Datei"
                          << "image-x-generic";
}

// Comments in both languages and the icon reach the toolkit.
void TestPackagingMime::typeDetails()
{
    QFETCH(QString, type);
    QFETCH(QString, glob);
    QFETCH(QString, english);
    QFETCH(QString, german);
    QFETCH(QString, icon);

    const QMimeType mime = QMimeDatabase().mimeTypeForName(type);
    QVERIFY(mime.isValid());
    QVERIFY(mime.globPatterns().contains(glob));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(mime.comment(), english);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(mime.comment(), german);
    QVERIFY2(mime.iconName() == icon || mime.genericIconName() == icon, qPrintable(mime.iconName()));
}

void TestPackagingMime::cleanup()
{
    QLocale::setDefault(QLocale::c());
}

QTEST_GUILESS_MAIN(TestPackagingMime)
#include "tst_packaging_mime.moc"
