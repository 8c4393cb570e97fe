// File names as bytes: every byte string comes back unchanged through a
// QString, and names that are UTF-8 read as Qt reads them.

#include "ZLT_FileNames.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

class TestFileNames : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void randomBytesRoundTrip();
};

void TestFileNames::roundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("utf8"); // then it decodes as QFile::decodeName does
    QTest::newRow("ASCII") << QByteArray("/a/b.cat") << true;
    QTest::newRow("UTF-8, two to four bytes") << QByteArray("/\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80") << true;
    QTest::newRow("Latin-1") << QByteArray("/L\xe4ser.cat") << false;
    QTest::newRow("lone continuation bytes") << QByteArray("/\x80\xbf") << false;
    QTest::newRow("cut sequence at the end") << QByteArray("/a\xe2\x82") << false;
    QTest::newRow("overlong slash") << QByteArray("/\xc0\xaf") << false;
    QTest::newRow("encoded surrogate") << QByteArray("/\xed\xa0\x80\xed\xb2\x80") << false;
    QTest::newRow("beyond U+10FFFF") << QByteArray("/\xf4\x90\x80\x80") << false;
    QTest::newRow("escape beside a four-byte character") << QByteArray("/\xf0\x9f\x98\x80\xff") << false;
    QTest::newRow("0xFE 0xFF") << QByteArray("/\xfe\xff") << false;
}

void TestFileNames::roundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, utf8);
    const QString name = ZLT_FileNames::Decode(bytes);
    QCOMPARE(ZLT_FileNames::Encode(name), bytes);
    QCOMPARE(name == QFile::decodeName(bytes), utf8);
    QCOMPARE(ZLT_FileNames::Encode(name) == QFile::encodeName(name), utf8);
}

void TestFileNames::randomBytesRoundTrip()
{
    QRandomGenerator random(16);
    for (int i = 0; i < 20000; ++i) {
        QByteArray bytes(int(random.bounded(12)), Qt::Uninitialized);
        for (char& byte : bytes)
            byte = char(random.bounded(256));
        QCOMPARE(ZLT_FileNames::Encode(ZLT_FileNames::Decode(bytes)), bytes);
    }
}

QTEST_GUILESS_MAIN(TestFileNames)
#include "tst_data_filenames.moc"
